// Conditions on objects, built in code: comparisons of a key path with a
// constant (string, number, date, data, an object or nil), "self" compared
// with an object, CONTAINS with case- and diacritic-insensitive options,
// and AND / OR / NOT. A predicate is immutable once built.
//
// Semantics are the platform's: nil equals only nil; ordering comparisons
// with nil are false; an empty substring is never contained. Predicates
// are evaluated in memory and, where they can be, also turned into SQL so
// the store filters rows before objects are made.
#pragma once

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "Platform/CoreData/ManagedObject.h"
#include "Platform/CoreData/StoreRow.h"
#include "Platform/Foundation/Value.h"

namespace cd {

class Predicate;
using PredicatePtr = std::shared_ptr<const Predicate>;

class Predicate {
 public:
  enum class Operator { EqualTo, NotEqualTo, LessThan, LessThanOrEqualTo, GreaterThan, GreaterThanOrEqualTo, Contains };
  enum Options : unsigned { None = 0, CaseInsensitive = 1, DiacriticInsensitive = 2 };

  // keyPath <op> value; a null value is nil.
  static PredicatePtr compare(std::string keyPath, Operator op, ns::Value value, unsigned options = None);
  // keyPath <op> object (==, != only); nullptr is nil.
  static PredicatePtr compare(std::string keyPath, Operator op, std::shared_ptr<ManagedObject> object);
  // keyPath <op> nil, for attributes and relationships alike.
  static PredicatePtr compare(std::string keyPath, Operator op, std::nullptr_t) {
    return compare(std::move(keyPath), op, ns::Value());
  }
  // self == object / self != object.
  static PredicatePtr self(Operator op, std::shared_ptr<ManagedObject> object);
  // keyPath CONTAINS[options] text.
  static PredicatePtr contains(std::string keyPath, std::string text, unsigned options = None);
  static PredicatePtr andPredicate(std::vector<PredicatePtr> subpredicates);
  static PredicatePtr orPredicate(std::vector<PredicatePtr> subpredicates);
  static PredicatePtr notPredicate(PredicatePtr subpredicate);
  static PredicatePtr value(bool truth);

  bool evaluate(const ManagedObject& object) const;
  // SQL for the rows of `entity`; throws ns::Exception for an unknown key.
  StoreFilter storeFilter(const EntityDescription& entity) const;
  // A readable form ("displayOrder >= 0 AND string CONTAINS[cd] \"x\"").
  std::string predicateFormat() const;

  Predicate(const Predicate&) = delete;
  Predicate& operator=(const Predicate&) = delete;

 private:
  enum class Kind { Comparison, Self, And, Or, Not, Constant };
  Predicate() = default;
  void appendSql(const EntityDescription& entity, StoreFilter* filter) const;
  // `left` is the key path's value; `object`/`isObject` as in KeyPathValue.
  bool evaluateComparison(const ns::Value& left, const ManagedObject* object, bool isObject) const;

  Kind kind_ = Kind::Constant;
  Operator op_ = Operator::EqualTo;
  unsigned options_ = None;
  std::string keyPath_;
  ns::Value value_;
  std::string foldedText_;  // of a text compared with CONTAINS, folded by the options
  std::shared_ptr<ManagedObject> object_;
  bool comparesObject_ = false;
  bool truth_ = true;
  std::vector<PredicatePtr> subpredicates_;
};

}  // namespace cd
