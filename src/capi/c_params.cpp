// Version, errors, parameters and the random source of the C API.
#include <limits>

#include "capi/c_records.h"
#include "exchange/param_table.h"
#include "exchange/param_units.h"
#include "host/param_texts.h"

// The text of a number macro, for messages that state a constant of the header.
#define QUAVIX_TEXT_OF(x) #x
#define QUAVIX_TEXT(x) QUAVIX_TEXT_OF(x)

namespace quavix::capi {
namespace {

const ParamInfo* Info(std::int32_t index) {
  if (static_cast<std::uint32_t>(index) >= static_cast<std::uint32_t>(kParamCount)) {
    return nullptr;
  }
  return &kParamTable[static_cast<std::size_t>(index)];
}

int IndexOf(const char* name) {
  if (name == nullptr) return QUAVIX_ERROR_ARGUMENT;
  const ParamInfo* info = FindParam(name);
  return info != nullptr ? info->Index : QUAVIX_ERROR_NAME;
}

// Reads index in stored or users' units.
int Get(const quavix_params* params, std::int32_t index, float* value, bool user) {
  if (params == nullptr || value == nullptr) return QUAVIX_ERROR_ARGUMENT;
  const ParamInfo* info = Info(index);
  if (info == nullptr) return QUAVIX_ERROR_INDEX;
  const SynthParams core = ToCore(*params);
  *value = user ? info->Get(core) : StoredValue(core, index);
  return QUAVIX_OK;
}

int Set(quavix_params* params, std::int32_t index, float value, bool user) {
  if (params == nullptr) return QUAVIX_ERROR_ARGUMENT;
  const ParamInfo* info = Info(index);
  if (info == nullptr) return QUAVIX_ERROR_INDEX;
  Edit(*params, [&](SynthParams& core) {
    if (user) {
      SetUserValue(*info, core, value);
    } else {
      SetVariable(core, index, value);
    }
  });
  return QUAVIX_OK;
}

}  // namespace
}  // namespace quavix::capi

using namespace quavix;
using namespace quavix::capi;

extern "C" {

uint32_t quavix_version(void) {
  return (QUAVIX_VERSION_MAJOR << 16) | (QUAVIX_VERSION_MINOR << 8) | QUAVIX_VERSION_PATCH;
}

const char* quavix_strerror(int status) {
  switch (status) {
    case QUAVIX_OK: return "no error";
    case QUAVIX_ERROR_ARGUMENT: return "a required pointer is NULL";
    case QUAVIX_ERROR_INDEX: return "parameter index outside 0 to 23";
    case QUAVIX_ERROR_NAME: return "unknown name";
    case QUAVIX_ERROR_FAMILY: return "preset family outside 0 to 6";
    case QUAVIX_ERROR_NOT_A_NUMBER: return "a settings-string field is not a number";
    case QUAVIX_ERROR_TOO_MANY_FIELDS: return "the settings string has more than 24 fields";
    case QUAVIX_ERROR_VERSION: return "the settings file's version is not 100, 101 or 102";
    case QUAVIX_ERROR_SHORT_DATA: return "the settings file ends inside its fields";
    case QUAVIX_ERROR_BUFFER_TOO_SMALL: return "the output buffer is too small";
    case QUAVIX_ERROR_VALUE: return "the value breaks its rule";
    case QUAVIX_ERROR_RANGE: return "a size beyond what a WAV image can hold";
    case QUAVIX_ERROR_FIXED_FIELD:
      return "the parameters' SampleRate or BitsPerSample is not " QUAVIX_TEXT(QUAVIX_SAMPLE_RATE) " or 16";
    case QUAVIX_ERROR_STREAM: return "the stream was never started";
    case QUAVIX_ERROR_MEMORY: return "working memory could not be allocated";
    default: return "unknown status";
  }
}

void quavix_params_default(quavix_params* params) {
  if (params != nullptr) FromCore(DefaultParams(), *params);
}

int quavix_param_index(const char* name) { return IndexOf(name); }

const char* quavix_param_name(int32_t index) {
  const ParamInfo* info = Info(index);
  return info != nullptr ? info->Name.data() : nullptr;  // the names are literals
}

const char* quavix_param_unit(int32_t index) {
  const ParamInfo* info = Info(index);
  if (info == nullptr) return nullptr;
  switch (info->Unit) {
    case ParamUnit::Seconds:
    case ParamUnit::ChangeSeconds: return "seconds";
    case ParamUnit::CyclesPerSecond: return "cycles per second";
    case ParamUnit::RepeatsPerSecond: return "repeats per second";
    case ParamUnit::Stored:
    case ParamUnit::WaveType: break;
  }
  return "";
}

int quavix_param_get(const quavix_params* params, int32_t index, float* value) {
  return Get(params, index, value, false);
}
int quavix_param_set(quavix_params* params, int32_t index, float value) {
  return Set(params, index, value, false);
}
int quavix_param_get_user(const quavix_params* params, int32_t index, float* value) {
  return Get(params, index, value, true);
}
int quavix_param_set_user(quavix_params* params, int32_t index, float value) {
  return Set(params, index, value, true);
}

int quavix_param_get_by_name(const quavix_params* params, const char* name, float* value) {
  const int index = IndexOf(name);
  return index < 0 ? index : Get(params, index, value, false);
}
int quavix_param_set_by_name(quavix_params* params, const char* name, float value) {
  const int index = IndexOf(name);
  return index < 0 ? index : Set(params, index, value, false);
}
int quavix_param_get_user_by_name(const quavix_params* params, const char* name, float* value) {
  const int index = IndexOf(name);
  return index < 0 ? index : Get(params, index, value, true);
}
int quavix_param_set_user_by_name(quavix_params* params, const char* name, float value) {
  const int index = IndexOf(name);
  return index < 0 ? index : Set(params, index, value, true);
}

int32_t quavix_param_count(void) { return kParamCount; }

int quavix_param_info(int32_t index, quavix_param_description* info) {
  if (info == nullptr) return QUAVIX_ERROR_ARGUMENT;
  const ParamInfo* p = Info(index);
  if (p == nullptr) return QUAVIX_ERROR_INDEX;
  const ParamGroupInfo& group = GroupOf(p->Group);
  const ParamRange valid = ValidUserRange(*p);
  // Every text of the table is a literal, so its data are terminated.
  *info = {p->Index,
           p->Name.data(),
           p->Label.data(),
           static_cast<int32_t>(p->Group),
           group.Id.data(),
           group.Title.data(),
           quavix_param_unit(index),
           p->Whole ? 1 : 0,
           p->Frequency ? 1 : 0,
           DefaultStored(*p),
           DefaultUser(*p),
           p->TypicalStored.Min,
           p->TypicalStored.Max,
           p->TypicalUser.Min,
           p->TypicalUser.Max,
           valid.Min,
           valid.Max,
           p->Help.data(),
           host::kSetterTexts[static_cast<std::size_t>(index)].Text,
           host::kSetterTexts[static_cast<std::size_t>(index)].Title};
  return QUAVIX_OK;
}

int quavix_param_check_user(int32_t index, float value, const char** problem) {
  const ParamInfo* p = Info(index);
  if (p == nullptr) return QUAVIX_ERROR_INDEX;
  const UserValueProblem found = CheckUserValue(*p, value);
  if (problem != nullptr) *problem = UserValueRule(found).data();
  return found == UserValueProblem::None ? QUAVIX_OK : QUAVIX_ERROR_VALUE;
}

float quavix_freq_hz(const quavix_params* params, int32_t hz) {
  if (params == nullptr) return std::numeric_limits<float>::quiet_NaN();
  return FreqHz(ToCore(*params), hz);
}

void quavix_random_seed(quavix_random* random, uint32_t seed) {
  if (random != nullptr) random->state = seed;
}

int32_t quavix_random_draw(quavix_random* random) {
  if (random == nullptr) return QUAVIX_ERROR_ARGUMENT;
  return WithRandom(*random, [](RandomSource& core) { return NextDraw(core); });
}

float quavix_random_fraction(quavix_random* random, float range) {
  if (random == nullptr) return 0.0f;
  return WithRandom(*random, [&](RandomSource& core) { return RandomFraction(core, range); });
}

}  // extern "C"
