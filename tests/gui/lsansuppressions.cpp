// Leaks of the libraries under the window that LeakSanitizer would report at the end of a
// test program. Nothing of ours is suppressed here.
//
// Qt 6.4's PDF module keeps the availability record of every document it loads (from a file
// as from a device) after the document is closed: about 1.3 KB per document shown.

extern "C" const char* __lsan_default_suppressions()
{
    return "leak:QPdfDocumentPrivate::initiateAsyncLoadWithTotalSizeKnown\n";
}
