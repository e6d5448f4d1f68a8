#!/bin/sh
# Stand-in archive tool: records how it was started in $TOOL_LOG, then exits
# with $TOOL_EXIT or dies by signal $TOOL_SIGNAL.
if [ -n "$TOOL_LOG" ]; then
  { printf 'tool: %s\n' "$0"; for a in "$@"; do printf 'arg: [%s]\n' "$a"; done; } > "$TOOL_LOG"
fi
if [ -n "$TOOL_SIGNAL" ]; then kill -"$TOOL_SIGNAL" $$; fi
exit "${TOOL_EXIT:-0}"
