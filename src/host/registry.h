// The registry of the module's condition, actions and expressions. Each item is
// a static registration object; constructing it appends it to the list of its
// kind, and its position there is the number by which the host calls it.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "host/host_abi.h"

namespace quavix::host {

// Parameter type codes.
inline constexpr std::int16_t kParamNumber = 22;
inline constexpr std::int16_t kParamText = 45;
inline constexpr std::int16_t kParamFile = 63;
inline constexpr std::int16_t kParamExpression = 1;

// Declared result types of expressions (the flags of their records).
inline constexpr std::uint16_t kResultTypeInteger = 0;
inline constexpr std::uint16_t kResultTypeText = 1;
inline constexpr std::uint16_t kResultTypeFloat = 2;

struct ParamSpec {
  std::int16_t Type;
  const char* Title;
};

// The ordered parameters of one item.
struct ParamList {
  ParamList() = default;
  ParamList(std::initializer_list<ParamSpec> params) : Params(params) {}
  std::vector<ParamSpec> Params;
};

// The record every registration holds; an item fills only its own handler slot.
struct AceDef {
  std::vector<std::int16_t> ParamTypes;
  std::vector<const char*> ParamTitles;
  ConditionHandler Condition = nullptr;
  ActionHandler Action = nullptr;
  ExpressionHandler Expression = nullptr;
  const char* Text = nullptr;
  std::uint16_t Flags = 0;
};

// The three registration objects register their own address: they are
// neither copied nor moved.

// A list of registered records that grows from room for 3 to 3 × size + 1.
struct AceList {
  std::vector<const AceDef*> Items;
};

struct AceRegistry {
  AceList Conditions;
  AceList Actions;
  AceList Expressions;
};

// The module's registry, created empty before the first registration.
AceRegistry& Registry();

struct ConditionDef {
  ConditionDef(ConditionHandler handler, const char* text, const ParamList& params);
  ConditionDef(const ConditionDef&) = delete;
  ConditionDef& operator=(const ConditionDef&) = delete;
  AceDef Def;
};

struct ActionDef {
  ActionDef(ActionHandler handler, const char* text, const ParamList& params);
  ActionDef(const ActionDef&) = delete;
  ActionDef& operator=(const ActionDef&) = delete;
  AceDef Def;
};

struct ExpressionDef {
  ExpressionDef(ExpressionHandler handler, std::uint16_t resultType, const char* text,
                const ParamList& params);
  ExpressionDef(const ExpressionDef&) = delete;
  ExpressionDef& operator=(const ExpressionDef&) = delete;
  AceDef Def;
};

// The handler tables handed to the host: list order, then one null entry.
struct HandlerTables {
  std::vector<ConditionHandler> Conditions;
  std::vector<ActionHandler> Actions;
  std::vector<ExpressionHandler> Expressions;
};

// The built tables (empty before the load hook has run).
const HandlerTables& Tables();

// Defined (as 1) beside the registrations; the load hook reads it, which also
// keeps that translation unit in a static link.
extern const int kRegistrationsLinked;

// The module's load hook: builds the handler tables from the registry once
// every registration has run. Returns 1.
int LoadHook();

}  // namespace quavix::host
