// The module's host layer in the simulated host of the module tests, driven by a small program
// in the input: instances created (some with failing allocations) and destroyed, actions and
// expressions by number, expressions inside another's parameter, actions run while "%o : Sound
// generated" is raised, settings files in a scratch folder, old stored records converted. Besides
// the sanitizers it checks what the module promises: results marked by kind, a text result in its
// string space, the reader binding handed back, the banked image as long as the sound, and
// parameters unchanged by a file that cannot be read.
//
// Each op is a byte (modulo 7) and its operands; a missing byte reads as 0:
//   0 create   buffer-length code, seed byte ("Set random seed to" 1 + byte follows creation)
//   1 create with failing allocations   mask byte (bits: reader, wave buffer, synthesizer), then
//             as 0
//   2 destroy  instance byte
//   3 action   instance byte, action number byte (modulo 40), the first value by its type
//   4 expression   instance byte, expression number byte (modulo 32), token (a number)
//   5 write a scratch file   name, length byte, that many bytes
//   6 convert a stored record   28 bytes
// A number is a byte below 16 for a special (0, -1, 23, 24, INT_MIN, ...), 16-239 for 0-223, else
// the 4 bytes that follow; a float likewise (NaN, infinities, extremes, -0, ...; (byte - 128) /
// 32; 4 bytes of bits); a text a byte 0 (empty), 1 (a run of one character, 14-bit length), 2 (a
// chunk of up to 16 bytes repeated, 14-bit count) or 3 + n for the n bytes that follow; a file
// name a byte whose low 3 bits pick "", the scratch folder, a file in a missing folder, an
// over-long name, or a scratch file named by the bytes that follow. The host answers an action's
// further parameters by kind alike; an expression's parameter is a byte (odd: first evaluate a
// nested expression, coded as op 4 without its op byte) then a number; while the condition is
// raised, a byte n runs n % 4 actions (coded as op 3). Nesting and generation are bounded.
#include <algorithm>
#include <bit>
#include <cstddef>
#include <deque>
#include <fstream>
#include <limits>

#include "fuzz_util.h"
#include "host/expression_reader.h"
#include "simulated_host.h"

namespace {

using namespace quavix::host;
using namespace quavix::host::test;
using quavix::fuzz::Check;

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
const quavix::fuzz::fs::path& Folder() {
  static const quavix::fuzz::fs::path dir = quavix::fuzz::Scratch("quavix-host-fuzz");
  return dir;
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
    using I = std::numeric_limits<std::int32_t>;
    static constexpr std::int32_t kSpecial[16] = {
        0, -1, 1, 23, 24, I::min(), I::max(), 3528, 20, 20000, -20, 0x8000, 0x7FFF, 0x18000, 7, 6};
    const std::uint8_t b = Byte();
    return b < 16 ? kSpecial[b] : b < 240 ? b - 16 : static_cast<std::int32_t>(Word());
  }
  float Float() {
    using Lim = std::numeric_limits<float>;
    static const float kSpecial[16] = {
        Lim::quiet_NaN(), -Lim::quiet_NaN(), Lim::signaling_NaN(), Lim::infinity(),
        -Lim::infinity(), Lim::max(),        -Lim::max(),          Lim::denorm_min(),
        -0.0f,            1e30f,             -1e30f,               2.2675f,
        44100.0f,         1e-30f,            0.4535f,              2.0f};
    const std::uint8_t b = Byte();
    return b < 16 ? kSpecial[b] : b < 240 ? static_cast<float>(b - 128) / 32.0f
                                          : std::bit_cast<float>(Word());
  }
  const char* Keep(std::string text) {
    std::vector<char>& kept = Texts.emplace_back(text.begin(), text.end());
    kept.push_back('\0');
    return kept.data();
  }
  const char* Text() {
    const std::uint8_t b = Byte();
    std::string unit, text;
    if (b == 1) unit.assign(1, static_cast<char>(Byte()));
    for (int n = b == 2 ? Byte() % 16 + 1 : b < 3 ? 0 : b - 3; n > 0; --n) {
      (b < 3 ? unit : text).push_back(static_cast<char>(Byte()));
    }
    if (b == 1 || b == 2) {
      std::size_t count = Byte() | static_cast<std::size_t>(Byte() & 0x3F) << 8;
      LongTextBytes += count * unit.size();
      if (LongTextBytes > kTextBudget) count = 0;
      for (std::size_t i = 0; i < count; ++i) text += unit;
    }
    return Keep(std::move(text));
  }
  // A name in the scratch folder from the bytes that follow: letters, digits, "_-." (not only
  // dots, so it never leaves the folder).
  std::string ScratchName() {
    static constexpr char kChars[] = "abcdefghijklmnopqrstuvwxyz0123456789_-.";
    std::string name;
    for (int n = Byte() % 12; n > 0; --n) name.push_back(kChars[Byte() % (sizeof(kChars) - 1)]);
    if (name.find_first_not_of('.') == std::string::npos) name += 'f';
    return (Folder() / name).string();
  }
  // The second value: whether the module cannot read it as a file.
  std::pair<const char*, bool> Path() {
    const std::string unreadable[] = {"", Folder().string(), (Folder() / "missing/x.sfs").string(),
                                      (Folder() / std::string(300, 'n')).string() + ".sfs"};
    const std::uint8_t pick = Byte() % 8;
    return {Keep(pick < 4 ? unreadable[pick] : ScratchName()), pick < 4};
  }

  RunObjectData* Instance() {
    const std::uint8_t b = Byte();
    return Host.Live.empty() ? nullptr : Host.Live[b % Host.Live.size()];
  }
  void Create(unsigned failMask) {
    static constexpr std::uint32_t kLengths[8] = {0, 1, 5, 60, 61, 0xFFFFFFFFu, 0x80000000u, 2};
    const std::uint8_t code = Byte();
    const std::uint32_t length = code < 8 ? kLengths[code] : code - 8u;
    const auto seed = static_cast<HostWord>(1 + Byte());
    if (Host.Live.size() >= kMaxInstances) return;
    RunObjectData* object = nullptr;
    {
      FailingAllocations failing(failMask);
      object = Host.Create(length);
    }
    Host.Action(object, kSetSeed, seed);  // a fixed seed, so that an input replays alike
  }

  // The host calls only what its tables hold: a number past a count is refused.
  void Action(int eventDepth) {
    RunObjectData* object = Instance();
    const std::size_t number = Byte() % 40;  // past the 35 actions too
    if (number >= static_cast<std::size_t>(Host.Infos.NumActions)) return;
    const auto& types = Registry().Actions.Items[number]->ParamTypes;
    HostWord first = 0;
    bool unreadable = false;
    if (!types.empty() && types[0] == 63) {
      const auto [path, cannotRead] = Path();
      first = reinterpret_cast<HostWord>(path);
      unreadable = cannotRead;
    } else if (!types.empty()) {
      first = types[0] == 45 ? reinterpret_cast<HostWord>(Text()) : Number();
    }
    if (object == nullptr) return;
    if (number == kGenerate) {
      if (Generations >= kMaxGenerations || Samples + object->Capacity / 2 > kSampleBudget) return;
      ++Generations;
      Samples += object->Capacity / 2;
    }
    const quavix::SynthParams before =
        object->Synth != nullptr ? object->Synth->Params : quavix::DefaultParams();
    const std::size_t bankCalls = Host.BankCalls.size(), events = Host.Events.size();
    Host.DuringEvent = [this, eventDepth](void*) {
      if (eventDepth >= kMaxEventDepth) return;
      for (int n = Byte() % 4; n > 0; --n) Action(eventDepth + 1);
    };
    Check(Host.Action(object, static_cast<int>(number), first) == 0, "action result");
    Host.DuringEvent = nullptr;
    if (number == kGenerate && object->WaveBuffer != nullptr && object->Synth != nullptr) {
      Check(object->LastLength <= object->Capacity && object->LastLength % 2 == 0, "length");
      // The image went to the bank before the condition was raised.
      Check(Host.BankCalls.size() > bankCalls && Host.Events.size() > events, "publish");
      const Image& image = Host.BankCalls[Host.Events[events].BankCallsBefore - 1].Copy;
      Check(image.size() >= 44, "image size");
      std::uint32_t dataSize = 0;
      std::memcpy(&dataSize, &image[40], 4);
      Check(image.size() == dataSize + 44u, "image data size");
    }
    Check(number != kLoadFile || !unreadable || object->Synth == nullptr ||
              std::memcmp(&before, &object->Synth->Params, sizeof(before)) == 0,
          "an unreadable file changed the parameters");
  }

  HostWord Expression(int nesting) {
    RunObjectData* object = Instance();
    const std::size_t number = Byte() % 32;  // past the 29 expressions too
    const HostWord token = Number();
    if (number >= static_cast<std::size_t>(Host.Infos.NumExpressions)) return 0;
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
    Check(object->Reader == nullptr || object->Reader->Fetch == binding, "reader binding");
    const auto* text = reinterpret_cast<const char*>(result);
    // A text ends with its NUL where its string space ends; all floats but Variable's (the wave
    // type as a number) are marked.
    Check(def.Flags != 1 || ((flags & kResultText) != 0 && !Host.Strings.empty() &&
                             text == Host.Strings.back().data() &&
                             std::strlen(text) + 1 == Host.Strings.back().size()),
          "text result");
    Check(def.Flags != 2 || number == 2 || (flags & kResultFloat) != 0, "float result");
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
    const bool old = version < kEditStructureVersion;
    const std::size_t size = old ? offsetof(EditStructure, Setting0) : sizeof(EditStructure);
    void* stored = std::malloc(size);
    std::memcpy(stored, bytes, size);
    EditStructure* updated = UpdateEditStructure(0, static_cast<const EditStructure*>(stored));
    if (updated != nullptr) GlobalFree(updated);
    std::free(stored);
  }

  void Step() {
    const std::uint8_t op = Byte() % 7;
    if (op <= 1) Create(op == 0 ? 0 : Byte() & 7u);
    if (op == 2) {
      if (RunObjectData* object = Instance()) Host.Destroy(object);
    }
    if (op == 3) Action(0);
    if (op == 4) Expression(0);
    if (op == 5) WriteFile();
    if (op == 6) ConvertRecord();
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
  quavix::fuzz::fs::remove_all(Folder(), ignored);
  quavix::fuzz::fs::create_directory(Folder());
  Run run(data, size);
  run.Host.ActionParamSource = [&run](HostWord kind) -> HostWord {
    if (kind == kKindText) return reinterpret_cast<HostWord>(run.Text());
    if (kind == kKindFloat) return std::bit_cast<std::int32_t>(run.Float());
    return run.Number();
  };
  while (run.At < run.Size) run.Step();
  quavix::fuzz::fs::remove_all(Folder(), ignored);
  return 0;
}
