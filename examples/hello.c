/* A tiny object for the demo: hdrpatch rewrites its ELF header. */
int demo_answer(void) { return 42; }
