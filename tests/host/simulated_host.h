// A simulated host for the module's native build, shared by the module tests and the host fuzzer:
// the module's tables, a run header of the host's routines, parameters fed from queues (or a
// source that answers by kind), string space, and a sound bank that logs every call and copies
// every image. Blocks handed to the module (records, run header, string space) have exactly the
// size asked for, so that the sanitizers see a step past their end.
#pragma once

#include <bit>
#include <cstdint>
#include <cstdlib>
#include <deque>
#include <functional>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "host/entry_points.h"
#include "host/host_abi.h"
#include "host/native_host.h"
#include "host/registry.h"

namespace quavix::host::test {

using Image = std::vector<std::uint8_t>;
struct BankCall {
  int Ordinal;  // 193 find, 191 prepare, 197 replace, 185 add
  HostWord Application, One, Handle;
  const char* Name;
  Image Copy;  // taken during the call
};
struct EventCall {
  void* Object;
  HostWord A, B;
  std::size_t BankCallsBefore;
  HostWord ConditionResult;  // what condition 0 answered while the event was raised
};
struct ParamRequest {
  bool First;  // first-parameter entry, else next-parameter entry
  void* Object;
  HostWord Kind, Token;
};
inline constexpr std::uint8_t kHostFill = 0xA5;  // the host's header bytes

struct SimHost {
  SimHost();  // the routines at the host's byte offsets / 4, the application in word 2
  ~SimHost() {
    for (RunObjectData* object : Live) DestroyRunObject(object, 0);
    InstallSoundBank(nullptr);
  }
  SimHost(const SimHost&) = delete;
  SimHost& operator=(const SimHost&) = delete;

  // A record of the reported size, filled with host bytes, created with this buffer length.
  RunObjectData* Create(std::uint32_t bufferSeconds = 5) {
    const auto size = static_cast<std::size_t>(GetRunObjectDataSize(0, 0));
    auto* object = reinterpret_cast<RunObjectData*>(Records.emplace_back(size, kHostFill).data());
    object->Header.RunHeader = RunHeader.data();
    object->Header.ResultFlags = 0;
    const EditStructure stored{28, 0, 2, {0, 0}, 0, 1, 0, bufferSeconds};
    CreateRunObject(object, &stored, 0);
    return Live.emplace_back(object);
  }
  // Destroys a live record; the host keeps its bytes until the simulated host goes.
  void Destroy(RunObjectData* object) {
    std::erase(Live, object);
    DestroyRunObject(object, 0);
  }
  HostWord Action(RunObjectData* object, int index, HostWord first = 0) {
    return Infos.Actions[index](object, first, 0x7777);
  }
  HostWord Action(RunObjectData* object, int index, const char* text) {
    return Action(object, index, reinterpret_cast<HostWord>(text));
  }
  HostWord Expression(RunObjectData* object, int index, HostWord token = 0) {
    object->Header.ResultFlags = 0;
    return Infos.Expressions[index](object, token);
  }

  RunObjectInfos Infos{};
  HostWord Application = 0x5A17;
  std::deque<HostWord> ActionParams, ExpressionParams;
  // When set, answers the action-parameter entry by kind instead of the queue.
  std::function<HostWord(HostWord kind)> ActionParamSource;
  std::vector<HostWord> ActionKinds;
  std::vector<ParamRequest> ExpressionRequests;
  std::function<void()> DuringFirstParam;  // runs once inside the first-parameter entry
  // When set, runs inside every raise-event call, after condition 0 has answered.
  std::function<void(void* object)> DuringEvent;
  std::vector<BankCall> BankCalls;
  std::map<std::string, Image> Bank;  // the stored copies
  std::map<std::string, HostWord> Handles;
  std::vector<EventCall> Events;
  std::deque<std::vector<char>> Strings;  // string space handed out, each of the size asked
  std::vector<void*> RunHeader = std::vector<void*>(kRunHeaderWords);
  std::deque<Image> Records;
  std::vector<RunObjectData*> Live;
};

// The host's routines: plain functions that find the current host here.
inline SimHost* gHost = nullptr;

inline HostWord Pop(std::deque<HostWord>& queue) {
  const HostWord value = queue.empty() ? 0 : queue.front();
  if (!queue.empty()) queue.pop_front();
  return value;
}
inline HostWord Fetch(bool first, void* object, HostWord kind, HostWord token) {
  gHost->ExpressionRequests.push_back({first, object, kind, token});
  if (auto nested = first ? std::exchange(gHost->DuringFirstParam, nullptr) : nullptr) nested();
  return Pop(gHost->ExpressionParams);
}
inline Image Copy(const void* image, HostWord size) {
  return {static_cast<const std::uint8_t*>(image), static_cast<const std::uint8_t*>(image) + size};
}
inline const SoundBankLibrary kSimBank{
    [](HostWord app, HostWord one, const char* name) {
      gHost->BankCalls.push_back({193, app, one, 0, name, {}});
      return gHost->Handles.contains(name) ? gHost->Handles[name] : 0;
    },
    [](HostWord app, HostWord one, HostWord handle) {
      gHost->BankCalls.push_back({191, app, one, handle, nullptr, {}});
      return HostWord{0};
    },
    [](HostWord app, HostWord one, HostWord handle, const char* name, const void* image,
       HostWord size) {
      gHost->BankCalls.push_back({197, app, one, handle, name, Copy(image, size)});
      for (const auto& [known, h] : gHost->Handles) {
        if (h == handle) gHost->Bank[known] = gHost->BankCalls.back().Copy;
      }
      return HostWord{1};
    },
    [](HostWord app, HostWord one, const char* name, const void* image, HostWord size) {
      gHost->BankCalls.push_back({185, app, one, 0, name, Copy(image, size)});
      gHost->Handles[name] = static_cast<HostWord>(100 + gHost->Handles.size());
      gHost->Bank[name] = gHost->BankCalls.back().Copy;
      return HostWord{1};
    }};

inline SimHost::SimHost() {
  gHost = this;
  InstallSoundBank(&kSimBank);
  LoadHook();  // as on attaching the module
  GetRunObjectInfos(0, &Infos);
  const std::pair<std::size_t, HostRoutine> routines[] = {
      {kRaiseEventSlot,
       [](void* object, HostWord a, HostWord b) {
         const HostWord answer =
             gHost->Infos.Conditions[0](static_cast<RunObjectData*>(object), 0, 0);
         gHost->Events.push_back({object, a, b, gHost->BankCalls.size(), answer});
         if (auto during = gHost->DuringEvent) during(object);  // a copy: it may set another
         return HostWord{0};
       }},
      {kStringSpaceSlot,
       [](void*, HostWord, HostWord size) {
         return reinterpret_cast<HostWord>(
             gHost->Strings.emplace_back(static_cast<std::size_t>(size), '#').data());
       }},
      {kFirstExpressionParamSlot,
       [](void* o, HostWord k, HostWord t) { return Fetch(true, o, k, t); }},
      {kNextExpressionParamSlot,
       [](void* o, HostWord k, HostWord t) { return Fetch(false, o, k, t); }},
      {kActionParamSlot, [](void*, HostWord kind, HostWord) {
         gHost->ActionKinds.push_back(kind);
         return gHost->ActionParamSource ? gHost->ActionParamSource(kind)
                                         : Pop(gHost->ActionParams);
       }}};
  for (const auto& [slot, routine] : routines) RunHeader[slot] = std::bit_cast<void*>(routine);
  RunHeader[kApplicationSlot] = reinterpret_cast<void*>(Application);
}

// While one lives, the module's n-th block allocation fails when bit n - 1 of the mask is set
// (the first three: reader, wave buffer, synthesizer).
inline unsigned gFailMask = 0, gAllocations = 0;
struct FailingAllocations {
  explicit FailingAllocations(unsigned mask) {
    gFailMask = mask;
    gAllocations = 0;
    InstallBlockAllocator(&kAllocator);
  }
  ~FailingAllocations() { InstallBlockAllocator(nullptr); }
  FailingAllocations(const FailingAllocations&) = delete;
  FailingAllocations& operator=(const FailingAllocations&) = delete;

  static void* Allocate(std::size_t bytes) {
    const unsigned n = gAllocations++;
    return n < 32 && (gFailMask >> n & 1u) != 0 ? nullptr : std::malloc(bytes == 0 ? 1 : bytes);
  }
  static constexpr BlockAllocator kAllocator{&Allocate, [](void* block) { std::free(block); }};
};

}  // namespace quavix::host::test
