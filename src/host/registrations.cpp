// The module's condition, actions and expressions, registered in the order
// that gives each its number: the host calls them by position. The texts of
// the per-parameter setters come from the module's own table beside this
// file, the names of the getters from the shared parameter table.
#include <string>

#include "exchange/param_table.h"
#include "host/handlers.h"
#include "host/param_texts.h"
#include "host/registry.h"

namespace quavix::host {

extern const int kRegistrationsLinked = 1;

namespace {

// The setter action of parameter `index`: its text and title.
ActionDef Setter(std::int32_t index) {
  const SetterTexts& texts = kSetterTexts[static_cast<std::size_t>(index)];
  return ActionDef(kParameterSetters[static_cast<std::size_t>(index)], texts.Text,
                   {{kParamNumber, texts.Title}});
}

// The getter expression of parameter `index`, named after its field: "AttackTime(".
ExpressionDef Getter(std::int32_t index) {
  static std::array<std::string, kParamCount> names;
  const ParamInfo& info = kParamTable[static_cast<std::size_t>(index)];
  std::string& name = names[static_cast<std::size_t>(index)];
  name.assign(info.Name).push_back('(');
  const std::uint16_t type = info.Unit == ParamUnit::WaveType ? kResultTypeInteger : kResultTypeFloat;
  return ExpressionDef(kParameterGetters[static_cast<std::size_t>(index)], type, name.c_str(), {});
}

const char* const kSettingsFileTitle = "Sound settings file (*.sfs)";

// Condition 0.
const ConditionDef kSoundGenerated(&SoundGenerated, "%o : Sound generated", {});

// Actions 0 to 34.
const ActionDef kAddSound(&AddSoundAction, "(UNUSED) Add sound as %0",
                          {{kParamText, "Sound name"}});
const ActionDef kMutate(&MutateAction, "Mutate sound by %0",
                        {{kParamNumber, "Mutation coefficient"}});
const ActionDef kLoadPreset(&LoadPresetAction, "Load preset %0",
                            {{kParamNumber,
                              "Sound effect (0: Coin, 1: Laser, 2: Explosion, 3: Powerup, "
                              "4: Hurt, 5: Jump, 6: Blip)"}});
const ActionDef kReset(&ResetAction, "Reset", {});
const ActionDef kSetWaveType = Setter(1);
const ActionDef kSetAttackTime = Setter(2);
const ActionDef kGenerateSound(&GenerateSoundAction, "Generate sound as %0",
                               {{kParamText, "Sound name (Existing sounds will be replaced)"}});
const ActionDef kSetRandomSeed(&SetRandomSeedAction, "Set random seed to %0",
                               {{kParamNumber, "Seed (0: Current time)"}});
const ActionDef kSetSustainTime = Setter(3);
const ActionDef kSetSustainPunch = Setter(4);
const ActionDef kSetDecayTime = Setter(5);
const ActionDef kSetStartFreq = Setter(6);
const ActionDef kSetMinFreq = Setter(7);
const ActionDef kSetSlide = Setter(8);
const ActionDef kSetDeltaSlide = Setter(9);
const ActionDef kSetVibDepth = Setter(10);
const ActionDef kSetVibSpeed = Setter(11);
const ActionDef kSetChangeAmount = Setter(12);
const ActionDef kSetChangeSpeed = Setter(13);
const ActionDef kSetSquareDuty = Setter(14);
const ActionDef kSetDutySweep = Setter(15);
const ActionDef kSetRepeatSpeed = Setter(16);
const ActionDef kSetPhaserOffset = Setter(17);
const ActionDef kSetPhaserSweep = Setter(18);
const ActionDef kSetLPCutoff = Setter(19);
const ActionDef kSetLPCutoffSweep = Setter(20);
const ActionDef kSetLPResonance = Setter(21);
const ActionDef kSetHPCutoff = Setter(22);
const ActionDef kSetHPCutoffSweep = Setter(23);
const ActionDef kSetVolume = Setter(0);
const ActionDef kLoadSettingsFile(&LoadSettingsFileAction, "Load settings file %0",
                                  {{kParamFile, kSettingsFileTitle}});
const ActionDef kSaveSettingsFile(&SaveSettingsFileAction, "Save settings to %0",
                                  {{kParamFile, kSettingsFileTitle}});
const ActionDef kRandomize(&RandomizeAction, "Randomize", {});
const ActionDef kSetVariable(&SetVariableAction, "Set variable with index %0 to %1",
                             {{kParamNumber, "Index (0-23)"}, {kParamNumber, "Value"}});
const ActionDef kLoadSettingsString(&LoadSettingsStringAction, "Load settings from string %0",
                                    {{kParamText, "Settings string with comma-separated values"}});

// Expressions 0 to 28.
const ExpressionDef kGenWave(&GenWaveExpression, kResultTypeFloat, "GenWave(",
                             {{kParamExpression, "Offset"}});
const ExpressionDef kGenLength(&GenLengthExpression, kResultTypeInteger, "GenLength(", {});
const ExpressionDef kVariable(&VariableExpression, kResultTypeFloat, "Variable(",
                              {{kParamExpression, "Index (0-23)"}});
const ExpressionDef kCsv(&CsvExpression, kResultTypeText, "CSV$(", {});
const ExpressionDef kWaveType = Getter(1);
const ExpressionDef kVolume = Getter(0);
const ExpressionDef kAttackTime = Getter(2);
const ExpressionDef kSustainTime = Getter(3);
const ExpressionDef kSustainPunch = Getter(4);
const ExpressionDef kDecayTime = Getter(5);
const ExpressionDef kStartFreq = Getter(6);
const ExpressionDef kMinFreq = Getter(7);
const ExpressionDef kSlide = Getter(8);
const ExpressionDef kDeltaSlide = Getter(9);
const ExpressionDef kSquareDuty = Getter(14);
const ExpressionDef kDutySweep = Getter(15);
const ExpressionDef kVibDepth = Getter(10);
const ExpressionDef kVibSpeed = Getter(11);
const ExpressionDef kChangeAmount = Getter(12);
const ExpressionDef kChangeSpeed = Getter(13);
const ExpressionDef kRepeatSpeed = Getter(16);
const ExpressionDef kPhaserOffset = Getter(17);
const ExpressionDef kPhaserSweep = Getter(18);
const ExpressionDef kLPCutoff = Getter(19);
const ExpressionDef kLPCutoffSweep = Getter(20);
const ExpressionDef kLPResonance = Getter(21);
const ExpressionDef kHPCutoff = Getter(22);
const ExpressionDef kHPCutoffSweep = Getter(23);
const ExpressionDef kFreqHz(&FreqHzExpression, kResultTypeFloat, "FreqHz(",
                            {{kParamExpression, "Hz (20 - 20000)"}});

}  // namespace
}  // namespace quavix::host
