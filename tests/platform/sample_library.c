/* A shared object for the library loader tests: loaded by name and by path,
 * it answers with a number the tests check. */

__attribute__((visibility("default"))) int QxSampleAnswer(void) { return 42; }
