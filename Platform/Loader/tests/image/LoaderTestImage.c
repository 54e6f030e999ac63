/* A library for tests that open and close images. */
int loader_test_image_answer(void) { return 42; }
