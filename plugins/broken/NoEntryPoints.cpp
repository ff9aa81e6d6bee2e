// A test library that loads but exports none of the plug-in entry points.
extern "C" __attribute__((visibility("default"))) int FerronelUnrelatedFunction() { return 1; }
