#include "sim_host.h"

#include <bit>
#include <cstring>
#include <utility>

#include "host/native_host.h"
#include "host/registry.h"

namespace quavix::host::test {
namespace {

SimHost* gHost = nullptr;  // the host routines are plain functions

HostWord Pop(std::deque<HostWord>& queue) {
  if (queue.empty()) return 0;
  const HostWord value = queue.front();
  queue.pop_front();
  return value;
}

HostWord RaiseEvent(void* object, HostWord a, HostWord b) {
  // The host evaluates the object's condition 0 at once.
  const HostWord answer = gHost->Infos.Conditions[0](static_cast<RunObjectData*>(object), 0, 0);
  gHost->Events.push_back({object, a, b, gHost->BankCalls.size(), answer});
  return 0;
}
HostWord StringSpace(void*, HostWord, HostWord size) {
  gHost->StringSizes.push_back(size);
  gHost->Strings.push_back(std::make_unique<char[]>(static_cast<std::size_t>(size)));
  std::memset(gHost->Strings.back().get(), '#', static_cast<std::size_t>(size));
  return reinterpret_cast<HostWord>(gHost->Strings.back().get());
}
HostWord FirstParam(void* object, HostWord kind, HostWord token) {
  gHost->ExpressionRequests.push_back({true, object, kind, token});
  if (auto nested = std::exchange(gHost->DuringFirstParam, nullptr)) nested();
  return Pop(gHost->ExpressionParams);
}
HostWord NextParam(void* object, HostWord kind, HostWord token) {
  gHost->ExpressionRequests.push_back({false, object, kind, token});
  return Pop(gHost->ExpressionParams);
}
HostWord ActionParam(void*, HostWord kind, HostWord) {
  gHost->ActionKinds.push_back(kind);
  return Pop(gHost->ActionParams);
}

std::vector<std::uint8_t> Copy(const void* image, HostWord size) {
  const auto* bytes = static_cast<const std::uint8_t*>(image);
  return {bytes, bytes + size};
}
HostWord Find(HostWord app, HostWord one, const char* name) {
  gHost->BankCalls.push_back({193, app, one, 0, name, {}});
  const auto it = gHost->Handles.find(name);
  return it == gHost->Handles.end() ? 0 : it->second;
}
HostWord Prepare(HostWord app, HostWord one, HostWord handle) {
  gHost->BankCalls.push_back({191, app, one, handle, nullptr, {}});
  return 0;
}
HostWord Replace(HostWord app, HostWord one, HostWord handle, const char* name, const void* image,
                 HostWord size) {
  gHost->BankCalls.push_back({197, app, one, handle, name, Copy(image, size)});
  for (const auto& [known, h] : gHost->Handles) {
    if (h == handle) gHost->Bank[known] = gHost->BankCalls.back().Image;
  }
  return 1;
}
HostWord Add(HostWord app, HostWord one, const char* name, const void* image, HostWord size) {
  gHost->BankCalls.push_back({185, app, one, 0, name, Copy(image, size)});
  gHost->Handles[name] = static_cast<HostWord>(100 + gHost->Handles.size());
  gHost->Bank[name] = gHost->BankCalls.back().Image;
  return 1;
}
const SoundBankLibrary kBank{&Find, &Prepare, &Replace, &Add};

template <typename F>
void* Word(F function) {
  return std::bit_cast<void*>(function);
}

}  // namespace

SimHost::SimHost() : RunHeader(kRunHeaderWords, nullptr) {
  gHost = this;
  InstallSoundBank(&kBank);
  LoadHook();  // as on attaching the module
  GetRunObjectInfos(0, &Infos);
  RunHeader[kApplicationSlot] = reinterpret_cast<void*>(Application);
  RunHeader[kRaiseEventSlot] = Word(&RaiseEvent);
  RunHeader[kStringSpaceSlot] = Word(&StringSpace);
  RunHeader[kFirstExpressionParamSlot] = Word(&FirstParam);
  RunHeader[kNextExpressionParamSlot] = Word(&NextParam);
  RunHeader[kActionParamSlot] = Word(&ActionParam);
}

SimHost::~SimHost() {
  for (RunObjectData* object : Live) DestroyRunObject(object, 0);
  InstallSoundBank(nullptr);
  gHost = nullptr;
}

RunObjectData* SimHost::Create(std::uint32_t bufferSeconds) {
  const auto size = static_cast<std::size_t>(GetRunObjectDataSize(0, 0));
  Records.push_back(std::make_unique<std::uint8_t[]>(size));
  std::memset(Records.back().get(), kHostFill, size);
  auto* object = reinterpret_cast<RunObjectData*>(Records.back().get());
  object->Header.RunHeader = RunHeader.data();
  object->Header.ResultFlags = 0;
  const EditStructure stored{28, 0, 2, {0, 0}, 0, 1, 0, bufferSeconds};
  CreateRunObject(object, &stored, 0);
  Live.push_back(object);
  return object;
}

void SimHost::Destroy(RunObjectData* object) {
  std::erase(Live, object);
  DestroyRunObject(object, 0);
}

HostWord SimHost::Action(RunObjectData* object, int index, HostWord first) {
  return Infos.Actions[index](object, first, 0x7777);
}
HostWord SimHost::Action(RunObjectData* object, int index, const char* text) {
  return Action(object, index, reinterpret_cast<HostWord>(text));
}
HostWord SimHost::Expression(RunObjectData* object, int index, HostWord token) {
  object->Header.ResultFlags = 0;
  return Infos.Expressions[index](object, token);
}
float SimHost::FloatExpression(RunObjectData* object, int index, HostWord token) {
  return std::bit_cast<float>(static_cast<std::uint32_t>(Expression(object, index, token)));
}
void SimHost::QueueActionFloat(float value) {
  ActionParams.push_back(std::bit_cast<std::int32_t>(value));
}

std::uint32_t ReadU32(const std::vector<std::uint8_t>& image, std::size_t offset) {
  return ReadU16(image, offset) | static_cast<std::uint32_t>(ReadU16(image, offset + 2)) << 16;
}
std::uint16_t ReadU16(const std::vector<std::uint8_t>& image, std::size_t offset) {
  return static_cast<std::uint16_t>(image.at(offset) | image.at(offset + 1) << 8);
}

}  // namespace quavix::host::test
