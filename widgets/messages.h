#pragma once
// Every message the windows show through the message dialog, by what triggers it, with its
// text, caption and kind.

#include <QString>

#include "recordings/frame_times.h"

class QWidget;

namespace tavrilo {

enum class Message {
    kNo3d,               // start-up: no OpenGL 3.3
    kOpenFailed,         // a recording cannot be opened and later ones exist
    kJobDone,            // a file job finished with its completion flag set
    kCsvNoRecordings,    // CSV export: nothing to export
    kCsvExists,          // CSV export: the file exists (asks)
    kCsvCannotCreate,    // CSV export: the file cannot be created or written
    kSnapshotExists,     // snapshot: the file exists (asks)
    kSnapshotSaved,      // snapshot: saved
    kSnapshotFailed,     // snapshot: cannot be saved
    kDeleteFailed,       // delete: a recording cannot be deleted
    kJoinFailed,         // save or join failed
    kFolderPathFailed,   // a folder chooser returned no usable path (kind given by the caller)
    kSelectionOver1500,  // file selection: more than 1500 entries
    kSelectionTooLarge,  // file selection: the selection is too large
    kSelectionTooMany,   // file selection: too many files selected
};

struct MessageText {
    QString text;
    QString caption;
    int kind;  // 0 one button, 1 two
};

MessageText TextOf(Message message);

// Shows the message on `owner` and returns 1 ("OK") or 2 ("キャンセル", closed). `kind` -1
// takes the message's own kind.
int ShowMessage(QWidget* owner, Message message, int kind = -1);
// The same with a line under the message's text that says what went wrong.
int ShowMessage(QWidget* owner, Message message, const QString& detail);

// What keeps a file from being played, in the words of the other messages; empty for none.
QString VideoProblemText(VideoProblem problem);

}  // namespace tavrilo
