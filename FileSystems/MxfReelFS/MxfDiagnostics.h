// The MXF library's error reports, as this plug-in keeps them: only while a thread captures them, and
// only that thread's, so that a dictionary load or a metadata read that fails can say why. Notes and
// every other report are not kept. Any number of threads may capture at once; the hooks may run on any
// thread.
#pragma once

#include <string>

class CDiagnosticCapture
{
public:
    // Starts keeping the calling thread's error reports; the capture belongs to that thread.
    CDiagnosticCapture();
    // Stops keeping them.
    ~CDiagnosticCapture();
    CDiagnosticCapture(const CDiagnosticCapture&) = delete;
    CDiagnosticCapture& operator=(const CDiagnosticCapture&) = delete;

    // The first report kept, on one line; empty when there was none.
    std::string FirstError() const;
};
