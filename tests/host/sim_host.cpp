#include "sim_host.h"

#include <bit>
#include <cstring>
#include <stdexcept>

#include "host/native_host.h"
#include "host/registry.h"

namespace quavix::host::test {
namespace {

SimHost* gHost = nullptr;

HostWord RaiseEvent(void* object, HostWord a, HostWord b) {
  SimHost& host = CurrentHost();
  EventCall call{object, a, b, host.BankCalls.size(), 0};
  // The host evaluates the object's condition 0 at once.
  call.ConditionResult = host.Infos.Conditions[0](static_cast<RunObjectData*>(object), 0, 0);
  host.Events.push_back(call);
  return 0;
}

HostWord GetStringSpace(void*, HostWord, HostWord size) {
  SimHost& host = CurrentHost();
  host.StringSizes.push_back(size);
  host.Strings.push_back(std::make_unique<char[]>(static_cast<std::size_t>(size)));
  std::memset(host.Strings.back().get(), '#', static_cast<std::size_t>(size));
  return reinterpret_cast<HostWord>(host.Strings.back().get());
}

HostWord NextQueued(std::deque<HostWord>& queue) {
  if (queue.empty()) return 0;
  const HostWord value = queue.front();
  queue.pop_front();
  return value;
}

HostWord FirstExpressionParam(void* object, HostWord kind, HostWord token) {
  SimHost& host = CurrentHost();
  host.ExpressionRequests.push_back({true, object, kind, token});
  if (host.DuringFirstParam) {
    auto nested = std::move(host.DuringFirstParam);
    host.DuringFirstParam = nullptr;
    nested();
  }
  return NextQueued(host.ExpressionParams);
}

HostWord NextExpressionParam(void* object, HostWord kind, HostWord token) {
  SimHost& host = CurrentHost();
  host.ExpressionRequests.push_back({false, object, kind, token});
  return NextQueued(host.ExpressionParams);
}

HostWord ActionParam(void*, HostWord kind, HostWord) {
  SimHost& host = CurrentHost();
  host.ActionKinds.push_back(kind);
  return NextQueued(host.ActionParams);
}

std::vector<std::uint8_t> CopyImage(const void* image, HostWord size) {
  const auto* bytes = static_cast<const std::uint8_t*>(image);
  return std::vector<std::uint8_t>(bytes, bytes + size);
}

HostWord BankFind(HostWord application, HostWord one, const char* name) {
  SimHost& host = CurrentHost();
  host.BankCalls.push_back({193, application, one, 0, name, name, {}, 0});
  const auto it = host.Bank.find(name);
  return it == host.Bank.end() ? 0 : it->second.Handle;
}

HostWord BankPrepare(HostWord application, HostWord one, HostWord handle) {
  CurrentHost().BankCalls.push_back({191, application, one, handle, {}, nullptr, {}, 0});
  return 0;
}

HostWord BankReplace(HostWord application, HostWord one, HostWord handle, const char* name,
                     const void* image, HostWord size) {
  SimHost& host = CurrentHost();
  host.BankCalls.push_back({197, application, one, handle, name, name, CopyImage(image, size), size});
  for (auto& [key, sound] : host.Bank) {
    if (sound.Handle == handle) sound.Image = host.BankCalls.back().Image;
  }
  return 1;
}

HostWord BankAdd(HostWord application, HostWord one, const char* name, const void* image,
                 HostWord size) {
  SimHost& host = CurrentHost();
  host.BankCalls.push_back({185, application, one, 0, name, name, CopyImage(image, size), size});
  const auto handle = static_cast<HostWord>(host.Bank.size() + 100);
  host.Bank[name] = Sound{handle, host.BankCalls.back().Image};
  return 1;
}

const SoundBankLibrary kSimBank{&BankFind, &BankPrepare, &BankReplace, &BankAdd};

template <typename T>
void* AsWord(T function) {
  void* word;
  static_assert(sizeof(word) == sizeof(function));
  std::memcpy(&word, &function, sizeof(word));
  return word;
}

}  // namespace

SimHost& CurrentHost() {
  if (gHost == nullptr) throw std::logic_error("no simulated host");
  return *gHost;
}

SimHost::SimHost() : RunHeader(kRunHeaderWords + 16, nullptr) {
  gHost = this;
  InstallSoundBank(&kSimBank);
  // As the operating system would on attaching the module.
  LoadHook();
  GetRunObjectInfos(0, &Infos);
  RunHeader[kApplicationSlot] = reinterpret_cast<void*>(Application);
  RunHeader[kRaiseEventSlot] = AsWord(&RaiseEvent);
  RunHeader[kStringSpaceSlot] = AsWord(&GetStringSpace);
  RunHeader[kFirstExpressionParamSlot] = AsWord(&FirstExpressionParam);
  RunHeader[kNextExpressionParamSlot] = AsWord(&NextExpressionParam);
  RunHeader[kActionParamSlot] = AsWord(&ActionParam);
}

SimHost::~SimHost() {
  for (RunObjectData* object : Live) DestroyRunObject(object, 0);
  InstallSoundBank(nullptr);
  if (gHost == this) gHost = nullptr;
}

RunObjectData* SimHost::Create(std::uint32_t bufferSeconds) {
  const auto size = static_cast<std::size_t>(GetRunObjectDataSize(0, 0));
  Records.push_back(std::make_unique<std::uint8_t[]>(size));
  std::uint8_t* bytes = Records.back().get();
  std::memset(bytes, kHostFill, size);
  auto* object = reinterpret_cast<RunObjectData*>(bytes);
  object->Header.RunHeader = RunHeader.data();
  object->Header.ResultFlags = 0;
  EditStructure stored{};
  stored.RecordSize = sizeof(EditStructure);
  stored.Version = kEditStructureVersion;
  stored.Setting1 = 1;
  stored.BufferSeconds = bufferSeconds;
  CreateRunObject(object, &stored, 0);
  Live.push_back(object);
  return object;
}

void SimHost::Destroy(RunObjectData* object) {
  std::erase(Live, object);
  DestroyRunObject(object, 0);
}

HostWord SimHost::Action(RunObjectData* object, int index, HostWord first, HostWord second) {
  return Infos.Actions[index](object, first, second);
}

HostWord SimHost::Expression(RunObjectData* object, int index, HostWord token) {
  object->Header.ResultFlags = 0;
  return Infos.Expressions[index](object, token);
}

float SimHost::FloatExpression(RunObjectData* object, int index, HostWord token) {
  return std::bit_cast<float>(static_cast<std::uint32_t>(Expression(object, index, token)));
}

void SimHost::QueueActionFloat(float value) {
  ActionParams.push_back(static_cast<HostWord>(std::bit_cast<std::int32_t>(value)));
}

void SimHost::QueueActionWord(HostWord value) { ActionParams.push_back(value); }

std::uint32_t ReadU32(const std::vector<std::uint8_t>& image, std::size_t offset) {
  return static_cast<std::uint32_t>(image.at(offset)) |
         static_cast<std::uint32_t>(image.at(offset + 1)) << 8 |
         static_cast<std::uint32_t>(image.at(offset + 2)) << 16 |
         static_cast<std::uint32_t>(image.at(offset + 3)) << 24;
}

std::uint16_t ReadU16(const std::vector<std::uint8_t>& image, std::size_t offset) {
  return static_cast<std::uint16_t>(image.at(offset) | image.at(offset + 1) << 8);
}

}  // namespace quavix::host::test
