#pragma once
// The application: starts the window side in order, runs the main window until it closes and
// takes everything down again.

#include <string>

#include "recordings/library.h"

namespace tavrilo {

class CquovelApp {
  public:
    // `source`: what `tavrilo SOURCE` asked for (a recording, a folder or a card), or empty.
    // Returns the process's exit status.
    static int Run(int argc, char** argv, const std::string& source);

    // The recording a source opens with until the file manager lists it: the source itself
    // when it is a recording, else the first recording of its list; empty when there is none.
    static std::string FirstRecordingOf(const std::string& source);
    // How `tavrilo SOURCE` opens a path: a file as a file, a removable drive's mount point as a
    // memory card, any other folder as a folder.
    static SourceKind KindOf(const std::string& source);
};

}  // namespace tavrilo
