#pragma once
// Where the lines of a check go. No layer below the driver writes to standard output or standard
// error: each line it has for the user goes to a sink that its caller passes in, and the driver
// decides where the lines of a run end up (the console of a model-file run, standard error for
// a front end's run, a list in a test). A sink is passed by reference to each stage that needs
// it and must outlive it; nothing else is shared.
//
// New lines: a stage that has something to say takes a MessageSink& (through its constructor, or
// as an argument where it is a function) and calls Stage or Problem; a line is one line, without
// its line feed.

#include <string>
#include <string_view>
#include <vector>

namespace tickcheck {

enum class MessageKind {
  kStage,    // the course of the run as a model file's console shows it ("expNum:", "begin
             // checking", "property1 : 1"): a front end that shows its own results drops them
  kProblem,  // what the user must see: a refusal, a model error, a value outside its range
};

class MessageSink {
 public:
  virtual void Line(MessageKind kind, std::string_view text) = 0;

  void Stage(std::string_view text) { Line(MessageKind::kStage, text); }
  void Problem(std::string_view text) { Line(MessageKind::kProblem, text); }

 protected:
  ~MessageSink() = default;
};

// Forgets every line (a caller that wants no messages, such as a fuzz target).
class DiscardedMessages final : public MessageSink {
 public:
  void Line(MessageKind, std::string_view) override {}
};

// Keeps every line in order, with its kind.
class MessageLog final : public MessageSink {
 public:
  struct Entry {
    MessageKind kind;
    std::string text;
  };

  void Line(MessageKind kind, std::string_view text) override {
    entries_.push_back({kind, std::string(text)});
  }

  const std::vector<Entry>& Entries() const { return entries_; }
  // Every line, each followed by a line feed, as a console would show them.
  std::string Text() const {
    std::string text;
    for (const Entry& entry : entries_)
      text.append(entry.text).push_back('\n');
    return text;
  }
  void Clear() { entries_.clear(); }

 private:
  std::vector<Entry> entries_;
};

}  // namespace tickcheck
