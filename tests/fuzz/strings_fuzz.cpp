// The string manager under random sequences of its operations, checked after every step against
// a std::string model of each text variable and of the buffer. The sequences keep the callers'
// rules: marks lie between 0 and the used length, and a builder that goes back to a mark ends the
// builders nested above it; assign-new goes only into a null variable; no text passed in lies
// inside the buffer or inside the target's own block; and the buffer never holds more than
// kMaxUsed bytes, so that its growth stays small. Each input starts a fresh string manager and
// must leave nothing but the buffer's block behind.
#include "runtime/strings.h"
#include "tests/fuzz/fuzz_support.h"

#include <optional>
#include <string>
#include <vector>

namespace {

constexpr int kVariables = 4;
constexpr size_t kMaxText = 48;        // bytes of a text taken from the input
constexpr int32_t kMaxReserve = 10000;  // a few reservations reach the second growth
constexpr int32_t kMaxUsed = 24000;
constexpr size_t kMaxMarks = 16;
constexpr int kMaxSteps = 256;
constexpr int32_t kStartCapacity = 16;
constexpr int32_t kGrowth = 16384;

enum class Operation {
  kAssign,
  kAssignNew,
  kAppend,
  kReserve,
  kRelease,
  kTruncate,
  kAssignFromBuffer,
  kMark,
  kEqual,
  kMaxValue = kEqual,
};

// A text handed to an operation: its address (null, a variable's block or a copy of input bytes)
// and the bytes the operation must see there, up to the NUL.
struct Text {
  const char* pointer;
  std::string value;
};

class Run {
 public:
  explicit Run(FuzzedDataProvider& input) : input_(input) {}

  void Step() {
    switch (input_.ConsumeEnum<Operation>()) {
      case Operation::kAssign: Assign(); break;
      case Operation::kAssignNew: AssignNew(); break;
      case Operation::kAppend: Append(); break;
      case Operation::kReserve: Reserve(); break;
      case Operation::kRelease: Release(); break;
      case Operation::kTruncate: Truncate(); break;
      case Operation::kAssignFromBuffer: AssignFromBuffer(); break;
      case Operation::kMark: if (marks_.size() < kMaxMarks) marks_.push_back(StringBuffer.used); break;
      case Operation::kEqual: Equal(); break;
    }
    Check();
  }

  // Frees every variable; the heap must then hold only the buffer.
  void Finish() {
    for (StringVariable& variable : variables_) StringAssign(&variable, nullptr);
    Require(BusyBlocks(StringHeap) == 1, "%d blocks left on the StringHeap, expected the buffer's only",
            BusyBlocks(StringHeap));
  }

 private:
  int ChooseVariable() { return input_.ConsumeIntegralInRange(0, kVariables - 1); }

  // The index of a builder's mark; the buffer goes back to it, so the builders above it end.
  size_t ChooseMark() {
    size_t index = input_.ConsumeIntegralInRange<size_t>(0, marks_.size() - 1);
    marks_.resize(index + 1);
    return index;
  }

  // Null, the text of a variable other than target, or bytes of the input in a block of their
  // exact size (so that a read beyond the NUL is caught).
  Text ChooseText(int target) {
    switch (input_.ConsumeIntegralInRange(0, 2)) {
      case 0:
        return {nullptr, ""};
      case 1: {
        int source = ChooseVariable();
        // A variable's text ends at its first NUL, though its block may hold bytes beyond it.
        if (source != target) return {variables_[source], models_[source] ? models_[source]->c_str() : ""};
        break;
      }
      default:
        break;
    }
    std::string bytes = input_.ConsumeRandomLengthString(kMaxText);
    bytes.resize(strlen(bytes.c_str()));
    inputText_.assign(bytes.c_str(), bytes.c_str() + bytes.size() + 1);
    return {inputText_.data(), bytes};
  }

  void Assign() {
    int target = ChooseVariable();
    Text text = ChooseText(target);
    StringAssign(&variables_[target], text.pointer);
    models_[target] = text.pointer ? std::optional<std::string>(text.value) : std::nullopt;
  }

  void AssignNew() {
    int target = 0;
    while (target < kVariables && models_[target]) ++target;
    if (target == kVariables) return;
    Text text = ChooseText(target);
    StringAssignNew(&variables_[target], text.pointer);
    if (text.pointer) models_[target] = text.value;
  }

  void Append() {
    if (StringBuffer.used + static_cast<int32_t>(kMaxText) > kMaxUsed) return;
    Text text = ChooseText(-1);
    int32_t capacity = StringBuffer.capacity;
    int64_t needed = int64_t{StringBuffer.used} + static_cast<int64_t>(text.value.size());
    StringBufferAppend(text.pointer);
    if (text.pointer) CheckGrowth(needed, capacity);
    buffer_ += text.value;
    Require(StringBuffer.text[StringBuffer.used] == '\0', "no NUL behind the appended text at %d", StringBuffer.used);
  }

  // A reservation at the used length or back at a builder's mark, filled as a converter would
  // (with a pattern, NULs included, so that a long reservation costs one input byte).
  void Reserve() {
    int32_t position = input_.ConsumeBool() ? StringBuffer.used : marks_[ChooseMark()];
    int32_t length = input_.ConsumeIntegralInRange(0, kMaxReserve);
    if (length > kMaxUsed - StringBuffer.used) length = kMaxUsed - StringBuffer.used;
    int32_t capacity = StringBuffer.capacity;
    int64_t needed = int64_t{StringBuffer.used} + length;
    char* room = StringBufferReserve(length, position);
    CheckGrowth(needed, capacity);
    Require(room == StringBuffer.text + position, "reservation at %d returned offset %td", position,
            room - StringBuffer.text);
    auto pattern = input_.ConsumeIntegral<unsigned char>();
    std::string fill(static_cast<size_t>(length), '\0');
    for (size_t i = 0; i < fill.size(); ++i) fill[i] = static_cast<char>(pattern + i * 7);
    memcpy(room, fill.data(), fill.size());
    buffer_.resize(static_cast<size_t>(position));
    buffer_ += fill;
  }

  void Release() {
    int32_t count = input_.ConsumeIntegralInRange(0, StringBuffer.used - marks_.back());
    StringBufferRelease(count);
    buffer_.resize(buffer_.size() - static_cast<size_t>(count));
  }

  void Truncate() {
    int32_t mark = marks_[ChooseMark()];
    StringBufferTruncate(mark);
    buffer_.resize(static_cast<size_t>(mark));
    Require(StringBuffer.text[mark] == '\0', "no NUL at the mark %d", mark);
  }

  // Ends the builder of a mark: its text goes into a variable.
  void AssignFromBuffer() {
    int target = ChooseVariable();
    size_t index = ChooseMark();
    int32_t mark = marks_[index];
    marks_.pop_back();
    if (marks_.empty()) marks_.push_back(0);
    StringAssignFromBuffer(&variables_[target], mark);
    models_[target] = buffer_.substr(static_cast<size_t>(mark));
    buffer_.resize(static_cast<size_t>(mark));
  }

  void Equal() {
    int variable = ChooseVariable();
    Text other = ChooseText(-1);
    std::string value = models_[variable] ? models_[variable]->c_str() : "";
    int equal = StringEqual(variables_[variable], other.pointer);
    Require(equal == (value == other.value ? 1 : 0), "StringEqual gave %d for variable %d", equal, variable);
  }

  // When used length + length reaches capacity - 4 the capacity becomes that need + 16384;
  // otherwise it stays.
  void CheckGrowth(int64_t needed, int32_t capacityBefore) {
    int64_t expected = needed >= capacityBefore - 4 ? needed + kGrowth : capacityBefore;
    Require(StringBuffer.capacity == expected, "capacity %d after a need of %lld from %d, expected %lld",
            StringBuffer.capacity, static_cast<long long>(needed), capacityBefore, static_cast<long long>(expected));
  }

  void Check() {
    for (int i = 0; i < kVariables; ++i) {
      Require((variables_[i] != nullptr) == models_[i].has_value(), "variable %d is %snull", i,
              variables_[i] ? "not " : "");
      if (!models_[i]) continue;
      size_t length = models_[i]->size();
      Require(memcmp(variables_[i], models_[i]->data(), length) == 0 && variables_[i][length] == '\0',
              "variable %d does not hold its %zu bytes and a NUL", i, length);
      Require(StringBlockSize(variables_[i]) >= length + 5, "variable %d: block of %zu bytes for %zu", i,
              StringBlockSize(variables_[i]), length);
    }
    Require(StringBuffer.used == static_cast<int32_t>(buffer_.size()), "used length %d, expected %zu",
            StringBuffer.used, buffer_.size());
    Require(memcmp(StringBuffer.text, buffer_.data(), buffer_.size()) == 0, "the buffer's text differs");
    Require(StringBuffer.used <= StringBuffer.capacity - 5, "used length %d, capacity %d", StringBuffer.used,
            StringBuffer.capacity);
    size_t block = StringBlockSize(StringBuffer.text);
    size_t expected = StringBuffer.capacity == kStartCapacity ? kStartCapacity : StringBuffer.capacity + 5u;
    Require(block == expected, "buffer block of %zu bytes for capacity %d", block, StringBuffer.capacity);
  }

  FuzzedDataProvider& input_;
  StringVariable variables_[kVariables] = {};        // the variables under test
  std::optional<std::string> models_[kVariables];    // their models: nullopt for null, else the bytes
  std::string buffer_;                               // model of the buffer from 0 to the used length
  std::vector<int32_t> marks_ = {0};                 // the builders' marks, outermost (0) first
  std::vector<char> inputText_;                      // the input bytes of the last text, NUL-terminated
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  StringManagerRestart();
  RunSequence<Run>(data, size, kMaxSteps);
  return 0;
}
