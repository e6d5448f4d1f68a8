/* Floor for start-up: a program that links GLib the way mod-query does and
 * does nothing else. */
#include <glib.h>

int main(void) { return g_strcmp0("a", "a"); }
