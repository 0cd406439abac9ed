// A simulated host: it loads the module's tables, allocates runtime records
// whose run header holds its function table, feeds action and expression
// parameters from queues, hands out string space, and keeps a sound bank that
// records every call and copies every image.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "host/entry_points.h"

namespace quavix::host::test {

struct BankCall {
  int Ordinal;  // 193 find, 191 prepare, 197 replace, 185 add
  HostWord Application, One, Handle;
  const char* Name;
  std::vector<std::uint8_t> Image;  // copy taken during the call
};
struct EventCall {
  void* Object;
  HostWord A, B;
  std::size_t BankCallsBefore;
  HostWord ConditionResult;  // what condition 0 answered when the host ran it
};
struct ParamRequest {
  bool First;  // first-parameter entry, else next-parameter entry
  void* Object;
  HostWord Kind, Token;
};

inline constexpr std::uint8_t kHostFill = 0xA5;  // the host's header bytes

struct SimHost {
  SimHost();
  ~SimHost();
  // A record of the reported size, host header filled, created from a stored
  // record with this buffer length.
  RunObjectData* Create(std::uint32_t bufferSeconds = 5);
  void Destroy(RunObjectData* object);
  HostWord Action(RunObjectData* object, int index, HostWord first = 0);
  HostWord Action(RunObjectData* object, int index, const char* text);
  HostWord Expression(RunObjectData* object, int index, HostWord token = 0);  // clears the flags
  float FloatExpression(RunObjectData* object, int index, HostWord token = 0);
  void QueueActionFloat(float value);

  RunObjectInfos Infos{};
  HostWord Application = 0x5A17;
  std::deque<HostWord> ActionParams, ExpressionParams;
  std::vector<HostWord> ActionKinds, StringSizes;
  std::vector<ParamRequest> ExpressionRequests;
  std::function<void()> DuringFirstParam;  // runs once inside the first-parameter entry
  std::vector<BankCall> BankCalls;
  std::map<std::string, std::vector<std::uint8_t>> Bank;  // the stored copies
  std::map<std::string, HostWord> Handles;
  std::vector<EventCall> Events;
  std::vector<std::unique_ptr<char[]>> Strings;
  std::vector<void*> RunHeader;
  std::vector<std::unique_ptr<std::uint8_t[]>> Records;
  std::vector<RunObjectData*> Live;
};

std::uint32_t ReadU32(const std::vector<std::uint8_t>& image, std::size_t offset);
std::uint16_t ReadU16(const std::vector<std::uint8_t>& image, std::size_t offset);

}  // namespace quavix::host::test
