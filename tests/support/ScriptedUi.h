#pragma once
// A Ui for tests: answers come from queues filled by the test, and everything the command
// showed is recorded so the test can assert on captions and messages.
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/Ui.h"

namespace tarvik::testing {

class ScriptedUi : public Ui {
 public:
  struct Message {
    MessageKind kind;
    std::string text;
  };

  // Answers, consumed in order. An empty queue answers "cancel" (nullopt / false).
  std::deque<std::optional<std::vector<int>>> selections;
  std::deque<std::optional<std::string>> values;
  std::deque<bool> answers;
  std::deque<std::optional<std::string>> saveFiles;
  std::deque<std::optional<std::vector<std::string>>> openFiles;
  std::deque<std::optional<Rgb>> colours;
  // Fills a command's options (return false to cancel); unset means cancel.
  std::function<bool(DialogOptions&)> options;
  char separator = '.';

  // What the command asked and showed.
  std::vector<GraphChoiceRequest> choiceRequests;
  std::vector<std::string> valueCaptions;
  std::vector<std::string> optionDialogs;
  std::vector<Message> messages;
  std::vector<std::string> questions;
  std::vector<FileDialogRequest> fileRequests;
  std::vector<std::string> progressTexts;
  std::vector<std::string> rememberedFolders;
  int colourRequests = 0;

  std::optional<std::vector<int>> chooseEntries(const GraphChoiceRequest& request) override {
    choiceRequests.push_back(request);
    return pop(selections);
  }
  std::optional<std::string> askValueText(const std::string& caption) override {
    valueCaptions.push_back(caption);
    return pop(values);
  }
  bool editOptions(DialogOptions& o) override {
    optionDialogs.emplace_back(o.dialogName());
    return options ? options(o) : false;
  }
  void message(MessageKind kind, const std::string& text) override {
    messages.push_back({kind, text});
  }
  bool question(const std::string& text) override {
    questions.push_back(text);
    if (answers.empty()) {
      return false;
    }
    bool a = answers.front();
    answers.pop_front();
    return a;
  }
  std::optional<std::vector<std::string>> askOpenFiles(const FileDialogRequest& r) override {
    fileRequests.push_back(r);
    return pop(openFiles);
  }
  std::optional<std::string> askSaveFile(const FileDialogRequest& r) override {
    fileRequests.push_back(r);
    return pop(saveFiles);
  }
  std::optional<Rgb> askColour() override {
    ++colourRequests;
    return pop(colours);
  }
  void rememberFolder(const std::string& folder) override { rememberedFolders.push_back(folder); }
  void progress(const std::string& text) override { progressTexts.push_back(text); }
  char decimalSeparator() const override { return separator; }

  // Texts of the error messages shown, in order.
  std::vector<std::string> errors() const {
    std::vector<std::string> out;
    for (const auto& m : messages) {
      if (m.kind == MessageKind::Error) {
        out.push_back(m.text);
      }
    }
    return out;
  }

 private:
  template <class T>
  static std::optional<T> pop(std::deque<std::optional<T>>& queue) {
    if (queue.empty()) {
      return std::nullopt;
    }
    std::optional<T> v = std::move(queue.front());
    queue.pop_front();
    return v;
  }
};

}  // namespace tarvik::testing
