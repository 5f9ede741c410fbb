// Replaces the message-box handler for the life of the object: every box is recorded and
// answered from a queue of answers (OK, or Yes for a question, when the queue is empty).
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "platform/MessageBox.h"

namespace fixtures {

struct RecordedMessage {
    std::string text;
    std::string title;
    unsigned style = 0;
};

class MessageRecorder {
public:
    MessageRecorder();
    ~MessageRecorder();
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    void answerNext(int answer) { answers_.push_back(answer); }
    const std::vector<RecordedMessage>& messages() const { return messages_; }
    std::vector<std::string> texts() const;
    void clear() { messages_.clear(); }

private:
    std::vector<RecordedMessage> messages_;
    std::deque<int> answers_;
    platform::MessageBoxHandler previous_;
};

}  // namespace fixtures
