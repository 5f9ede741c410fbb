// Test stand-ins for the seams of the save commands: a save-file dialog that answers at
// once from a script, a clipboard that records or refuses, a modal runner that drives a
// dialog and closes it, and a file-size limit that makes writes fail part-way.
#pragma once

#include <QDialog>
#include <QImage>
#include <csignal>
#include <deque>
#include <functional>
#include <string>
#include <sys/resource.h>
#include <vector>

#include "app/Clipboard.h"
#include "app/ModalDialog.h"
#include "qtshared/SaveFileDialog.h"

namespace fixtures {

class ScriptedSaveDialog {
public:
    struct Seen {
        std::string title, filter, fileName;
        int filterIndex = 0;
    };

    ScriptedSaveDialog() {
        previous_ = setSaveDialogHandler([this](SaveDialog& d, QWidget*) {
            seen.push_back({d.Title, d.Filter, d.FileName, d.FilterIndex});
            if (answers_.empty()) return false;  // unscripted: cancelled
            const Answer a = answers_.front();
            answers_.pop_front();
            if (a.cancel) return false;
            d.FileName = a.name;
            d.FilterIndex = a.filterIndex;
            return true;
        });
    }
    ~ScriptedSaveDialog() { setSaveDialogHandler(std::move(previous_)); }
    ScriptedSaveDialog(const ScriptedSaveDialog&) = delete;
    ScriptedSaveDialog& operator=(const ScriptedSaveDialog&) = delete;

    void answer(const std::string& name, int filterIndex) { answers_.push_back({name, filterIndex, false}); }
    void cancel() { answers_.push_back({"", 0, true}); }

    std::vector<Seen> seen;

private:
    struct Answer {
        std::string name;
        int filterIndex;
        bool cancel;
    };
    std::deque<Answer> answers_;
    SaveDialogHandler previous_;
};

class RecordingClipboard {
public:
    RecordingClipboard() {
        previous_ = setClipboardHandler([this](const QImage& image) {
            if (refuse) return false;
            images.push_back(image);
            return true;
        });
    }
    ~RecordingClipboard() { setClipboardHandler(std::move(previous_)); }
    RecordingClipboard(const RecordingClipboard&) = delete;
    RecordingClipboard& operator=(const RecordingClipboard&) = delete;

    bool refuse = false;
    std::vector<QImage> images;

private:
    ClipboardHandler previous_;
};

// Runs `drive` on every dialog shown modally instead of waiting for the user.
class ModalScript {
public:
    explicit ModalScript(std::function<void(QDialog&)> drive) {
        previous_ = setModalRunner([this, drive](QDialog& dialog) {
            ++runs;
            drive(dialog);
            return dialog.result();
        });
    }
    ~ModalScript() { setModalRunner(std::move(previous_)); }
    ModalScript(const ModalScript&) = delete;
    ModalScript& operator=(const ModalScript&) = delete;

    int runs = 0;

private:
    ModalRunner previous_;
};

// While it lives, files cannot grow beyond `bytes`: writes past it fail (EFBIG).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes) {
        getrlimit(RLIMIT_FSIZE, &saved_);
        previous_ = std::signal(SIGXFSZ, SIG_IGN);
        rlimit limit = saved_;
        limit.rlim_cur = bytes;
        setrlimit(RLIMIT_FSIZE, &limit);
    }
    ~FileSizeLimit() {
        setrlimit(RLIMIT_FSIZE, &saved_);
        std::signal(SIGXFSZ, previous_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*previous_)(int) = nullptr;
};

}  // namespace fixtures
