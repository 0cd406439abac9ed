// The module's condition, actions and expressions, registered in the order
// that gives each its number: the host calls them by position. The texts of
// the per-parameter setters come from the shared parameter table.
#include "exchange/param_table.h"
#include "host/handlers.h"
#include "host/registry.h"

namespace quavix::host {

extern const int kRegistrationsLinked = 1;

namespace {

// The setter action of parameter `index`: its table text and title.
ActionDef Setter(std::int32_t index) {
  const ParamInfo& info = kParamTable[static_cast<std::size_t>(index)];
  return ActionDef(kParameterSetters[static_cast<std::size_t>(index)], info.SetterText.data(),
                   {{kParamNumber, info.SetterTitle.data()}});
}

ExpressionDef Getter(std::int32_t index, const char* text) {
  const std::uint16_t type =
      kParamTable[static_cast<std::size_t>(index)].Unit == ParamUnit::WaveType ? kResultTypeInteger
                                                                               : kResultTypeFloat;
  return ExpressionDef(kParameterGetters[static_cast<std::size_t>(index)], type, text, {});
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
const ExpressionDef kWaveType = Getter(1, "WaveType(");
const ExpressionDef kVolume = Getter(0, "Volume(");
const ExpressionDef kAttackTime = Getter(2, "AttackTime(");
const ExpressionDef kSustainTime = Getter(3, "SustainTime(");
const ExpressionDef kSustainPunch = Getter(4, "SustainPunch(");
const ExpressionDef kDecayTime = Getter(5, "DecayTime(");
const ExpressionDef kStartFreq = Getter(6, "StartFreq(");
const ExpressionDef kMinFreq = Getter(7, "MinFreq(");
const ExpressionDef kSlide = Getter(8, "Slide(");
const ExpressionDef kDeltaSlide = Getter(9, "DeltaSlide(");
const ExpressionDef kSquareDuty = Getter(14, "SquareDuty(");
const ExpressionDef kDutySweep = Getter(15, "DutySweep(");
const ExpressionDef kVibDepth = Getter(10, "VibDepth(");
const ExpressionDef kVibSpeed = Getter(11, "VibSpeed(");
const ExpressionDef kChangeAmount = Getter(12, "ChangeAmount(");
const ExpressionDef kChangeSpeed = Getter(13, "ChangeSpeed(");
const ExpressionDef kRepeatSpeed = Getter(16, "RepeatSpeed(");
const ExpressionDef kPhaserOffset = Getter(17, "PhaserOffset(");
const ExpressionDef kPhaserSweep = Getter(18, "PhaserSweep(");
const ExpressionDef kLPCutoff = Getter(19, "LPCutoff(");
const ExpressionDef kLPCutoffSweep = Getter(20, "LPCutoffSweep(");
const ExpressionDef kLPResonance = Getter(21, "LPResonance(");
const ExpressionDef kHPCutoff = Getter(22, "HPCutoff(");
const ExpressionDef kHPCutoffSweep = Getter(23, "HPCutoffSweep(");
const ExpressionDef kFreqHz(&FreqHzExpression, kResultTypeFloat, "FreqHz(",
                            {{kParamExpression, "Hz (20 - 20000)"}});

}  // namespace
}  // namespace quavix::host
