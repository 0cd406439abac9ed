// A simulated host application: it loads the module's tables, allocates
// runtime records with a run header holding the function table, feeds action
// and expression parameters from queues, hands out string space, and keeps a
// sound bank that records every call and copies every image.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/entry_points.h"
#include "host/host_abi.h"

namespace quavix::host::test {

struct BankCall {
  int Ordinal;  // 193 find, 191 prepare, 197 replace, 185 add
  HostWord Application;
  HostWord One;
  HostWord Handle;
  std::string Name;
  const char* NamePointer;
  std::vector<std::uint8_t> Image;  // copy taken during the call
  HostWord Size;
};

struct EventCall {
  void* Object;
  HostWord A;
  HostWord B;
  std::size_t BankCallsBefore;  // how many bank calls preceded the event
  HostWord ConditionResult;     // what condition 0 answered when the host ran it
};

struct ParamRequest {
  bool First;  // first-parameter entry (else next-parameter entry)
  void* Object;
  HostWord Kind;
  HostWord Token;
};

struct Sound {
  HostWord Handle;
  std::vector<std::uint8_t> Image;
};

// Bytes the host fills its header with, to see that the module leaves them.
inline constexpr std::uint8_t kHostFill = 0xA5;

struct SimHost {
  SimHost();
  ~SimHost();
  SimHost(const SimHost&) = delete;
  SimHost& operator=(const SimHost&) = delete;

  // Allocates a record of the reported size, fills the host's header and
  // calls CreateRunObject with a stored record of that buffer length.
  RunObjectData* Create(std::uint32_t bufferSeconds = 5);
  void Destroy(RunObjectData* object);

  // Runs action `index` / expression `index` of the handler tables as the host
  // does; an expression call clears the result flags first.
  HostWord Action(RunObjectData* object, int index, HostWord first = 0, HostWord second = 0);
  HostWord Expression(RunObjectData* object, int index, HostWord token = 0);
  float FloatExpression(RunObjectData* object, int index, HostWord token = 0);

  void QueueActionFloat(float value);
  void QueueActionWord(HostWord value);

  RunObjectInfos Infos{};
  HostWord Application = 0x5A17;

  std::deque<HostWord> ActionParams;
  std::vector<HostWord> ActionKinds;  // kinds the module asked for, in order
  std::deque<HostWord> ExpressionParams;
  std::vector<ParamRequest> ExpressionRequests;
  // Runs inside the first-parameter entry, before it answers: lets a test
  // evaluate another expression in the middle of a parameter.
  std::function<void()> DuringFirstParam;

  std::vector<BankCall> BankCalls;
  std::map<std::string, Sound> Bank;
  std::vector<EventCall> Events;
  std::vector<std::unique_ptr<char[]>> Strings;
  std::vector<HostWord> StringSizes;

  std::vector<void*> RunHeader;
  std::vector<std::unique_ptr<std::uint8_t[]>> Records;
  std::vector<RunObjectData*> Live;  // destroyed with the host if a test did not
};

// The most recently constructed simulated host (the host routines are plain
// functions and find their host here).
SimHost& CurrentHost();

// Reads a little-endian field of an image.
std::uint32_t ReadU32(const std::vector<std::uint8_t>& image, std::size_t offset);
std::uint16_t ReadU16(const std::vector<std::uint8_t>& image, std::size_t offset);

}  // namespace quavix::host::test
