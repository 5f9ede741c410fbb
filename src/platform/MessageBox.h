// The program's modal message boxes go through one seam: the GUI installs a handler that
// shows a real dialog, vexil-cli one that prints to stderr, tests one that records the
// calls and answers as told. Styles and answers use the Windows values the program's
// texts were written against.
#pragma once

#include <functional>
#include <string>

namespace platform {

namespace mb {
// Styles: buttons | icon.
constexpr unsigned Ok = 0x00;
constexpr unsigned YesNo = 0x04;
constexpr unsigned IconQuestion = 0x20;
constexpr unsigned IconExclamation = 0x30;
constexpr unsigned ButtonMask = 0x0F;
constexpr unsigned IconMask = 0xF0;
// Answers.
constexpr int IdOk = 1;
constexpr int IdCancel = 2;
constexpr int IdYes = 6;
constexpr int IdNo = 7;
}  // namespace mb

using MessageBoxHandler = std::function<int(const std::string& text, const std::string& title, unsigned style)>;

// Shows a message box through the installed handler and returns the button pressed.
// Without a handler the text goes to stderr and the answer is OK (or No for a question).
int messageBox(const std::string& text, const std::string& title, unsigned style = mb::Ok);

// Installs a handler (an empty one restores the default); returns the previous one.
MessageBoxHandler setMessageBoxHandler(MessageBoxHandler handler);

}  // namespace platform
