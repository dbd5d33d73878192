/* A shared object that is no plug-in: it lacks InitPlugin. */
int kelvo_not_a_plugin(void) { return 0; }
