// The module's host layer in the simulated host of the module tests, driven by a small program
// that the input encodes: instances created (some with failing allocations) and destroyed,
// actions and expressions by number with parameters answered by kind, expressions evaluated
// inside another expression's parameter, actions run while "%o : Sound generated" is raised,
// settings files in a scratch folder, old stored records converted. The module reports nothing,
// so besides the sanitizers the checks are what it promises: results marked by kind, a text
// result inside its string space, the reader binding handed back, the image the sound bank gets
// as long as the sound, and parameters unchanged by a file that cannot be read.
//
// The program, op byte (modulo 7) and operands; a missing byte reads as 0:
//   0 create   buffer-length code, seed byte ("Set random seed to" 1 + byte follows creation)
//   1 create with failing allocations   mask byte (bits: reader, wave buffer, synthesizer),
//             buffer-length code, seed byte
//   2 destroy  instance byte
//   3 action   instance byte, action number byte (modulo 40), the first value by its type
//   4 expression   instance byte, expression number byte (modulo 32), token (a number)
//   5 write a scratch file   name, length byte, that many bytes
//   6 convert a stored record   28 bytes
// Values: a number is a byte below 16 for a special (0, -1, 23, 24, INT_MIN, ...), 16-239 for
// 0-223, else the 4 bytes that follow; a float likewise (NaN, infinities, extremes, -0, ...;
// (byte - 128) / 32; 4 bytes of bits); a text is a byte 0 (empty), 1 (a run of one character,
// 14-bit length), 2 (a chunk of up to 16 bytes repeated, 14-bit count) or 3 + n for the n bytes
// that follow; a file name is a byte whose low 3 bits pick "", the scratch folder, a file in a
// missing folder, an over-long name, or a scratch file named by the bytes that follow.
// The host answers an action's further parameters by kind in the same way; an expression's
// parameter is a byte (odd: first evaluate a nested expression, coded as op 4 without the op byte)
// then a number; while the condition is raised, a byte n runs n % 4 actions (coded likewise as
// op 3). Nesting and generation are bounded so that one input stays fast.
#include <unistd.h>

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <filesystem>
#include <fstream>
#include <limits>
#include <string>
#include <vector>

#include "host/expression_reader.h"
#include "simulated_host.h"
#include "synth/synthesizer.h"

namespace {

using namespace quavix::host;
using namespace quavix::host::test;
namespace fs = std::filesystem;

constexpr std::size_t kMaxInstances = 4;
constexpr int kMaxNesting = 4;      // expressions inside expression parameters
constexpr int kMaxEventDepth = 2;   // actions run inside a raised condition
constexpr int kMaxGenerations = 4;  // "Generate sound as %0" calls per input
// Samples that the generations of one input may write at the most, counted as the capacity of
// each buffer: buffer lengths 0 to 3 generate (3 only alone), longer ones are only created,
// published and read (the synthesis runs about a million samples a second under the sanitizers).
constexpr std::uint64_t kSampleBudget = 125000;
// Bytes of long texts (runs and repeated chunks) per input; past it they come out empty.
constexpr std::size_t kTextBudget = std::size_t{1} << 22;
constexpr int kGenerate = 6, kSetSeed = 7, kLoadFile = 30;

// The folder of the settings files, made empty for each input and removed after it.
const fs::path& Scratch() {
  static const fs::path dir =
      fs::temp_directory_path() / ("quavix-host-fuzz-" + std::to_string(::getpid()));
  return dir;
}

[[noreturn]] void Fail(const char* what) {
  std::fprintf(stderr, "host_fuzz: %s\n", what);
  std::abort();
}

struct Run {
  Run(const std::uint8_t* data, std::size_t size) : Data(data), Size(size) {}

  const std::uint8_t* Data;
  std::size_t Size;
  std::size_t At = 0;
  SimHost Host;
  std::deque<std::vector<char>> Texts;  // each exactly its text and NUL, alive for one step
  std::size_t LongTextBytes = 0;
  int Generations = 0;
  std::uint64_t Samples = 0;

  std::uint8_t Byte() { return At < Size ? Data[At++] : 0; }
  std::uint32_t Word() {
    std::uint32_t w = 0;
    for (int i = 0; i < 4; ++i) w |= static_cast<std::uint32_t>(Byte()) << (8 * i);
    return w;
  }

  std::int32_t Number() {
    using Int = std::numeric_limits<std::int32_t>;
    static constexpr std::int32_t kSpecial[16] = {0,          -1,      1,  23,    24,  Int::min(),
                                                  Int::max(), 3528,    20, 20000, -20, 0x8000,
                                                  0x7FFF,     0x18000, 7,  6};
    const std::uint8_t b = Byte();
    if (b < 16) return kSpecial[b];
    if (b < 240) return b - 16;
    return static_cast<std::int32_t>(Word());
  }
  float Float() {
    using Lim = std::numeric_limits<float>;
    static const float kSpecial[16] = {Lim::quiet_NaN(),
                                       -Lim::quiet_NaN(),
                                       Lim::signaling_NaN(),
                                       Lim::infinity(),
                                       -Lim::infinity(),
                                       Lim::max(),
                                       -Lim::max(),
                                       Lim::denorm_min(),
                                       -0.0f,
                                       1e30f,
                                       -1e30f,
                                       2.2675f,
                                       44100.0f,
                                       1e-30f,
                                       0.4535f,
                                       2.0f};
    const std::uint8_t b = Byte();
    if (b < 16) return kSpecial[b];
    if (b < 240) return static_cast<float>(b - 128) / 32.0f;
    return std::bit_cast<float>(Word());
  }
  const char* Keep(std::string text) {
    std::vector<char>& kept = Texts.emplace_back(text.begin(), text.end());
    kept.push_back('\0');
    return kept.data();
  }
  const char* Text() {
    const std::uint8_t b = Byte();
    if (b == 0) return Keep("");
    if (b == 1 || b == 2) {
      std::string unit;
      if (b == 1) unit.assign(1, static_cast<char>(Byte()));
      for (int n = b == 2 ? Byte() % 16 + 1 : 0; n > 0; --n)
        unit.push_back(static_cast<char>(Byte()));
      std::size_t count = Byte() | static_cast<std::size_t>(Byte() & 0x3F) << 8;
      LongTextBytes += count * unit.size();
      if (LongTextBytes > kTextBudget) count = 0;
      std::string text;
      for (std::size_t i = 0; i < count; ++i) text += unit;
      return Keep(std::move(text));
    }
    std::string text;
    for (int n = b - 3; n > 0; --n) text.push_back(static_cast<char>(Byte()));
    return Keep(std::move(text));
  }
  // A name in the scratch folder from the bytes that follow: letters, digits, "_-." (not only
  // dots, so it never leaves the folder).
  std::string ScratchName() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789_-.";
    std::string name;
    for (int n = Byte() % 12; n > 0; --n) name.push_back(kChars[Byte() % (sizeof(kChars) - 1)]);
    if (name.find_first_not_of('.') == std::string::npos) name += 'f';
    return (Scratch() / name).string();
  }
  // The second value: whether the module cannot read it as a file.
  std::pair<const char*, bool> Path() {
    switch (Byte() % 8) {
      case 0:
        return {Keep(""), true};
      case 1:
        return {Keep(Scratch().string()), true};  // a folder
      case 2:
        return {Keep((Scratch() / "missing" / "x.sfs").string()), true};
      case 3:
        return {Keep((Scratch() / std::string(300, 'n')).string() + ".sfs"), true};
      default:
        return {Keep(ScratchName()), false};
    }
  }

  RunObjectData* Instance() {
    const std::uint8_t b = Byte();
    return Host.Live.empty() ? nullptr : Host.Live[b % Host.Live.size()];
  }
  std::uint32_t BufferLength() {
    static constexpr std::uint32_t kLengths[8] = {0, 1, 5, 60, 61, 0xFFFFFFFFu, 0x80000000u, 2};
    const std::uint8_t b = Byte();
    return b < 8 ? kLengths[b] : b - 8u;
  }
  void Create(unsigned failMask) {
    const std::uint32_t length = BufferLength();
    const auto seed = static_cast<HostWord>(1 + Byte());
    if (Host.Live.size() >= kMaxInstances) return;
    RunObjectData* object = nullptr;
    {
      FailingAllocations failing(failMask);
      object = Host.Create(length);
    }
    if (object->WaveBuffer != nullptr && object->Capacity != 82000 * std::min(length, 60u)) {
      Fail("capacity");
    }
    // A fixed seed instead of the clock's, so that an input replays alike.
    Host.Action(object, kSetSeed, seed);
  }

  // The host calls only what its tables hold: a number past a count is refused.
  void Action(int eventDepth) {
    RunObjectData* object = Instance();
    const std::size_t number = Byte() % 40;  // past the 35 actions too
    const AceList& actions = Registry().Actions;
    if (number >= static_cast<std::size_t>(Host.Infos.NumActions)) {
      if (Host.Infos.Actions[Host.Infos.NumActions] != nullptr) Fail("action table end");
      return;
    }
    const auto& types = actions.Items[number]->ParamTypes;
    HostWord first = 0;
    bool unreadable = false;
    if (!types.empty()) {
      if (types[0] == 45) {
        first = reinterpret_cast<HostWord>(Text());
      } else if (types[0] == 63) {
        const auto [path, cannotRead] = Path();
        first = reinterpret_cast<HostWord>(path);
        unreadable = cannotRead;
      } else {
        first = Number();
      }
    }
    if (object == nullptr) return;
    if (number == kGenerate) {
      if (Generations >= kMaxGenerations || Samples + object->Capacity / 2 > kSampleBudget) return;
      ++Generations;
      Samples += object->Capacity / 2;
    }
    const quavix::SynthParams before =
        object->Synth != nullptr ? object->Synth->Params : quavix::DefaultParams();
    const std::size_t bankCalls = Host.BankCalls.size();
    const std::size_t events = Host.Events.size();
    const int depth = eventDepth;
    Host.DuringEvent = [this, depth](void*) {
      if (depth >= kMaxEventDepth) return;
      for (int n = Byte() % 4; n > 0; --n) Action(depth + 1);
    };
    if (Host.Action(object, static_cast<int>(number), first) != 0) Fail("action result");
    Host.DuringEvent = nullptr;

    if (number == kGenerate && object->WaveBuffer != nullptr && object->Synth != nullptr) {
      if (object->LastLength > object->Capacity || object->LastLength % 2 != 0) Fail("length");
      // The image went to the bank before the condition was raised.
      if (Host.BankCalls.size() <= bankCalls || Host.Events.size() <= events) Fail("publish");
      const BankCall& published = Host.BankCalls[Host.Events[events].BankCallsBefore - 1];
      std::uint32_t dataSize = 0;
      if (published.Copy.size() < 44) Fail("image size");
      std::memcpy(&dataSize, &published.Copy[40], 4);
      if (published.Copy.size() != dataSize + 44u) Fail("image data size");
    }
    if (number == kLoadFile && unreadable && object->Synth != nullptr &&
        std::memcmp(&before, &object->Synth->Params, sizeof(before)) != 0) {
      Fail("an unreadable file changed the parameters");
    }
  }

  HostWord Expression(int nesting) {
    RunObjectData* object = Instance();
    const std::size_t number = Byte() % 32;  // past the 29 expressions too
    const HostWord token = Number();
    if (number >= static_cast<std::size_t>(Host.Infos.NumExpressions)) {
      if (Host.Infos.Expressions[Host.Infos.NumExpressions] != nullptr)
        Fail("expression table end");
      return 0;
    }
    if (object == nullptr) return 0;
    const AceDef& def = *Registry().Expressions.Items[number];
    if (!def.ParamTypes.empty()) {
      Host.DuringFirstParam = [this, nesting] {
        if ((Byte() & 1) != 0 && nesting < kMaxNesting) Expression(nesting + 1);
        Host.ExpressionParams.push_front(Number());
      };
    }
    const ParamFetch binding = object->Reader != nullptr ? object->Reader->Fetch : nullptr;
    const HostWord result = Host.Expression(object, static_cast<int>(number), token);
    Host.DuringFirstParam = nullptr;
    const std::uint16_t flags = object->Header.ResultFlags;
    if (object->Reader != nullptr && object->Reader->Fetch != binding) Fail("reader binding");
    if (def.Flags == 1) {  // a text, NUL-terminated where its string space ends
      const auto* text = reinterpret_cast<const char*>(result);
      if ((flags & kResultText) == 0 || Host.Strings.empty() ||
          text != Host.Strings.back().data() ||
          std::strlen(text) + 1 != Host.Strings.back().size()) {
        Fail("text result");
      }
    } else if (def.Flags == 2 && number != 2 && (flags & kResultFloat) == 0) {
      Fail("float result");  // all but Variable, which gives the wave type as a number
    } else if (number == 1 && result != static_cast<HostWord>(object->LastLength >> 1)) {
      Fail("GenLength");
    }
    return result;
  }

  void WriteFile() {
    const std::string path = ScratchName();
    std::string bytes;
    for (int n = Byte(); n > 0; --n) bytes.push_back(static_cast<char>(Byte()));
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
  }

  void ConvertRecord() {
    std::uint8_t bytes[sizeof(EditStructure)];
    for (std::uint8_t& b : bytes) b = Byte();
    std::uint32_t version = 0;
    std::memcpy(&version, bytes + offsetof(EditStructure, Version), 4);
    // An old record may hold only the host's 20-byte header.
    const std::size_t size =
        version < kEditStructureVersion ? offsetof(EditStructure, Setting0) : sizeof(EditStructure);
    void* stored = std::malloc(size);
    std::memcpy(stored, bytes, size);
    EditStructure* updated = UpdateEditStructure(0, static_cast<const EditStructure*>(stored));
    if ((updated != nullptr) != (version < kEditStructureVersion)) Fail("conversion");
    if (updated != nullptr) {
      if (updated->Version != kEditStructureVersion || updated->BufferSeconds != 5)
        Fail("converted");
      GlobalFree(updated);
    }
    std::free(stored);
  }

  void Step() {
    switch (Byte() % 7) {
      case 0:
        Create(0);
        break;
      case 1:
        Create(Byte() & 7u);
        break;
      case 2:
        if (RunObjectData* object = Instance()) Host.Destroy(object);
        break;
      case 3:
        Action(0);
        break;
      case 4:
        Expression(0);
        break;
      case 5:
        WriteFile();
        break;
      default:
        ConvertRecord();
        break;
    }
    // What the host logged and copied for this step is no longer needed.
    Host.BankCalls.clear();
    Host.Bank.clear();
    Host.Events.clear();
    Host.ExpressionRequests.clear();
    Host.ActionKinds.clear();
    Host.Strings.clear();
    Texts.clear();
  }
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::error_code ignored;
  fs::remove_all(Scratch(), ignored);
  fs::create_directory(Scratch());
  Run run(data, size);
  run.Host.ActionParamSource = [&run](HostWord kind) -> HostWord {
    if (kind == kKindText) return reinterpret_cast<HostWord>(run.Text());
    if (kind == kKindFloat) return std::bit_cast<std::int32_t>(run.Float());
    return run.Number();
  };
  while (run.At < run.Size) run.Step();
  fs::remove_all(Scratch(), ignored);
  return 0;
}
