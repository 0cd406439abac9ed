#include "host/registry.h"

namespace quavix::host {
namespace {

AceDef MakeDef(const ParamList& params, std::uint16_t flags, const char* text) {
  AceDef def;
  def.ParamTypes.reserve(params.Params.size());
  def.ParamTitles.reserve(params.Params.size());
  for (const ParamSpec& p : params.Params) {
    def.ParamTypes.push_back(p.Type);
    def.ParamTitles.push_back(p.Title);
  }
  def.Text = text;
  def.Flags = flags;
  return def;
}

void Append(AceList& list, const AceDef* def) {
  if (list.Items.size() == list.Items.capacity()) list.Items.reserve(3 * list.Items.size() + 1);
  list.Items.push_back(def);
}

HandlerTables gTables;

}  // namespace

AceRegistry& Registry() {
  static AceRegistry registry = [] {
    AceRegistry r;
    r.Conditions.Items.reserve(3);
    r.Actions.Items.reserve(3);
    r.Expressions.Items.reserve(3);
    return r;
  }();
  return registry;
}

ConditionDef::ConditionDef(ConditionHandler handler, const char* text, const ParamList& params)
    : Def(MakeDef(params, 0, text)) {
  Def.Condition = handler;
  Append(Registry().Conditions, &Def);
}

ActionDef::ActionDef(ActionHandler handler, const char* text, const ParamList& params)
    : Def(MakeDef(params, 0, text)) {
  Def.Action = handler;
  Append(Registry().Actions, &Def);
}

ExpressionDef::ExpressionDef(ExpressionHandler handler, std::uint16_t resultType, const char* text,
                             const ParamList& params)
    : Def(MakeDef(params, resultType, text)) {
  Def.Expression = handler;
  Append(Registry().Expressions, &Def);
}

const HandlerTables& Tables() { return gTables; }

int LoadHook() {
  const AceRegistry& r = Registry();
  gTables.Conditions.assign(r.Conditions.Items.size() + 1, nullptr);
  gTables.Actions.assign(r.Actions.Items.size() + 1, nullptr);
  gTables.Expressions.assign(r.Expressions.Items.size() + 1, nullptr);
  for (std::size_t i = 0; i < r.Conditions.Items.size(); ++i) {
    gTables.Conditions[i] = r.Conditions.Items[i]->Condition;
  }
  for (std::size_t i = 0; i < r.Actions.Items.size(); ++i) {
    gTables.Actions[i] = r.Actions.Items[i]->Action;
  }
  for (std::size_t i = 0; i < r.Expressions.Items.size(); ++i) {
    gTables.Expressions[i] = r.Expressions.Items[i]->Expression;
  }
  return kRegistrationsLinked;
}

}  // namespace quavix::host
