#include "Platform/CoreData/Predicate.h"

#include "Platform/CoreData/KeyPath.h"
#include "Platform/CoreData/TextMatching.h"
#include "Platform/CoreData/ValueComparison.h"
#include "Platform/Foundation/Error.h"

namespace cd {

namespace {

std::string quotedColumn(const std::string& name) {
  std::string q = "\"";
  for (char c : name) {
    if (c == '"') q += '"';
    q += c;
  }
  return q + "\"";
}

const char* operatorText(Predicate::Operator op) {
  switch (op) {
    case Predicate::Operator::EqualTo: return "==";
    case Predicate::Operator::NotEqualTo: return "!=";
    case Predicate::Operator::LessThan: return "<";
    case Predicate::Operator::LessThanOrEqualTo: return "<=";
    case Predicate::Operator::GreaterThan: return ">";
    case Predicate::Operator::GreaterThanOrEqualTo: return ">=";
    case Predicate::Operator::Contains: return "CONTAINS";
  }
  return "?";
}

// Whether SQLite compares a value of this kind with the column as memory does.
bool sqlMatchesMemory(AttributeType type, const ns::Value& v, Predicate::Operator op) {
  switch (type) {
    case AttributeType::String: return v.isString();
    case AttributeType::Integer32: return v.isNumber();
    case AttributeType::Date: return v.isDate();
    case AttributeType::Binary:
      return v.isData() && (op == Predicate::Operator::EqualTo || op == Predicate::Operator::NotEqualTo);
    case AttributeType::Transformable: return false;
  }
  return false;
}

// Conditions never yield NULL, so NOT and OR combine them as memory does.
std::string sqlComparison(const std::string& column, Predicate::Operator op) {
  switch (op) {
    case Predicate::Operator::EqualTo: return column + " IS ?";
    case Predicate::Operator::NotEqualTo: return column + " IS NOT ?";
    // NULL for a nil column: a WHERE clause drops the row as it drops a
    // false one, and NOT turns it into false first (see appendSql).
    case Predicate::Operator::LessThan: return column + " < ?";
    case Predicate::Operator::LessThanOrEqualTo: return column + " <= ?";
    case Predicate::Operator::GreaterThan: return column + " > ?";
    case Predicate::Operator::GreaterThanOrEqualTo: return column + " >= ?";
    case Predicate::Operator::Contains: return "0";
  }
  return "0";
}

bool isOrdering(Predicate::Operator op) {
  return op != Predicate::Operator::EqualTo && op != Predicate::Operator::NotEqualTo &&
         op != Predicate::Operator::Contains;
}

}  // namespace

PredicatePtr Predicate::compare(std::string keyPath, Operator op, ns::Value value, unsigned options) {
  std::shared_ptr<Predicate> p(new Predicate());
  p->kind_ = Kind::Comparison;
  p->op_ = op;
  p->options_ = options;
  p->keyPath_ = std::move(keyPath);
  p->value_ = std::move(value);
  // Folded once here rather than for every object the predicate meets.
  if (op == Operator::Contains && p->value_.isString()) {
    p->foldedText_ = foldForMatching(*p->value_.asString(), options & CaseInsensitive, options & DiacriticInsensitive);
  }
  return p;
}

PredicatePtr Predicate::compare(std::string keyPath, Operator op, std::shared_ptr<ManagedObject> object) {
  if (op != Operator::EqualTo && op != Operator::NotEqualTo) {
    throw ns::Exception(ns::kInvalidArgumentException, "objects compare with == and != only");
  }
  std::shared_ptr<Predicate> p(new Predicate());
  p->kind_ = Kind::Comparison;
  p->op_ = op;
  p->keyPath_ = std::move(keyPath);
  p->object_ = std::move(object);
  p->comparesObject_ = true;
  return p;
}

PredicatePtr Predicate::self(Operator op, std::shared_ptr<ManagedObject> object) {
  if (op != Operator::EqualTo && op != Operator::NotEqualTo) {
    throw ns::Exception(ns::kInvalidArgumentException, "self compares with == and != only");
  }
  std::shared_ptr<Predicate> p(new Predicate());
  p->kind_ = Kind::Self;
  p->op_ = op;
  p->object_ = std::move(object);
  p->comparesObject_ = true;
  return p;
}

PredicatePtr Predicate::contains(std::string keyPath, std::string text, unsigned options) {
  return compare(std::move(keyPath), Operator::Contains, ns::Value(std::move(text)), options);
}

PredicatePtr Predicate::andPredicate(std::vector<PredicatePtr> subpredicates) {
  std::shared_ptr<Predicate> p(new Predicate());
  p->kind_ = Kind::And;
  p->subpredicates_ = std::move(subpredicates);
  return p;
}

PredicatePtr Predicate::orPredicate(std::vector<PredicatePtr> subpredicates) {
  std::shared_ptr<Predicate> p(new Predicate());
  p->kind_ = Kind::Or;
  p->subpredicates_ = std::move(subpredicates);
  return p;
}

PredicatePtr Predicate::notPredicate(PredicatePtr subpredicate) {
  std::shared_ptr<Predicate> p(new Predicate());
  p->kind_ = Kind::Not;
  p->subpredicates_.push_back(std::move(subpredicate));
  return p;
}

PredicatePtr Predicate::value(bool truth) {
  std::shared_ptr<Predicate> p(new Predicate());
  p->kind_ = Kind::Constant;
  p->truth_ = truth;
  return p;
}

bool Predicate::evaluateComparison(const ns::Value& left, const ManagedObject* object, bool isObject) const {
  if (comparesObject_) {
    bool equal = object == object_.get();
    return op_ == Operator::EqualTo ? equal : !equal;
  }
  bool ci = options_ & CaseInsensitive;
  bool di = options_ & DiacriticInsensitive;
  if (isObject) {
    // An object against a plain value: only "!= nil" / "== nil" make sense.
    bool equalsNil = value_.isNull() && object == nullptr;
    if (op_ == Operator::EqualTo) return equalsNil;
    if (op_ == Operator::NotEqualTo) return !equalsNil;
    return false;
  }
  switch (op_) {
    case Operator::EqualTo:
    case Operator::NotEqualTo: {
      bool equal;
      if (left.isNull() || value_.isNull()) {
        equal = left.isNull() && value_.isNull();
      } else if (left.isString() && value_.isString() && (ci || di)) {
        equal = orderValues(left, value_, ci, di) == 0;
      } else {
        equal = left == value_;
      }
      return op_ == Operator::EqualTo ? equal : !equal;
    }
    case Operator::Contains: {
      if (!left.isString() || !value_.isString() || value_.asString()->empty()) return false;
      return containsForMatching(*left.asString(), foldedText_, ci, di);
    }
    default: {
      auto order = orderValues(left, value_, ci, di);
      if (!order) return false;
      switch (op_) {
        case Operator::LessThan: return *order < 0;
        case Operator::LessThanOrEqualTo: return *order <= 0;
        case Operator::GreaterThan: return *order > 0;
        case Operator::GreaterThanOrEqualTo: return *order >= 0;
        default: return false;
      }
    }
  }
}

bool Predicate::evaluate(const ManagedObject& object) const {
  switch (kind_) {
    case Kind::Constant: return truth_;
    case Kind::And:
      for (const auto& p : subpredicates_) {
        if (!p->evaluate(object)) return false;
      }
      return true;
    case Kind::Or:
      for (const auto& p : subpredicates_) {
        if (p->evaluate(object)) return true;
      }
      return false;
    case Kind::Not: return !subpredicates_[0]->evaluate(object);
    case Kind::Self: {
      bool equal = &object == object_.get();
      return op_ == Operator::EqualTo ? equal : !equal;
    }
    case Kind::Comparison: {
      // A plain attribute is read in place; other key paths are walked.
      if (const ns::Value* value = KeyPath::attributeValue(object, keyPath_)) {
        return evaluateComparison(*value, nullptr, false);
      }
      KeyPathValue lhs = KeyPath(object.entity(), keyPath_).evaluate(object);
      return evaluateComparison(lhs.value, lhs.object, lhs.isObject);
    }
  }
  return false;
}

StoreFilter Predicate::storeFilter(const EntityDescription& entity) const {
  StoreFilter filter;
  appendSql(entity, &filter);
  return filter;
}

void Predicate::appendSql(const EntityDescription& entity, StoreFilter* filter) const {
  auto inMemory = [&] {
    filter->where = "1";
    filter->exact = false;
  };
  switch (kind_) {
    case Kind::Constant:
      filter->where = truth_ ? "1" : "0";
      return;
    case Kind::Self: {
      bool equal = op_ == Operator::EqualTo;
      if (!object_ || object_->objectID().isTemporaryID() || &object_->entity() != &entity) {
        // No stored row is a new object; rows whose object changed in memory are checked there.
        filter->where = equal ? "0" : "1";
        return;
      }
      filter->where = equal ? "_pk = ?" : "_pk <> ?";
      filter->bindings.push_back(ns::Value(object_->objectID().primaryKey()));
      return;
    }
    case Kind::Comparison: {
      KeyPath path(entity, keyPath_);
      if (comparesObject_) {
        if (!path.isSingleToOne()) return inMemory();
        std::string column = quotedColumn(entity.relationships()[path.firstIndex()].name);
        bool equal = op_ == Operator::EqualTo;
        if (!object_) {
          filter->where = column + (equal ? " IS NULL" : " IS NOT NULL");
        } else if (object_->objectID().isTemporaryID()) {
          filter->where = equal ? "0" : "1";
        } else {
          filter->where = column + (equal ? " IS ?" : " IS NOT ?");
          filter->bindings.push_back(ns::Value(object_->objectID().primaryKey()));
        }
        return;
      }
      if (path.isSingleToOne() && value_.isNull() && !isOrdering(op_) && op_ != Operator::Contains) {
        std::string column = quotedColumn(entity.relationships()[path.firstIndex()].name);
        filter->where = column + (op_ == Operator::EqualTo ? " IS NULL" : " IS NOT NULL");
        return;
      }
      if (!path.isSingleAttribute()) return inMemory();
      const AttributeDescription& attribute = entity.attributes()[path.firstIndex()];
      std::string column = quotedColumn(attribute.name);
      if (op_ == Operator::Contains && attribute.type == AttributeType::String && value_.isString()) {
        // The store runs the same test as memory (see SqliteDatabase), so
        // rows that do not match are never made into objects.
        filter->where = std::string(kContainsFunction) + "(" + column + ", ?, " + std::to_string(options_) + ")";
        filter->bindings.push_back(ns::Value(foldedText_));
        return;
      }
      if (op_ == Operator::Contains || (options_ != None && attribute.type == AttributeType::String)) {
        return inMemory();
      }
      if (value_.isNull()) {
        if (op_ == Operator::EqualTo) {
          filter->where = column + " IS NULL";
        } else if (op_ == Operator::NotEqualTo) {
          filter->where = column + " IS NOT NULL";
        } else {
          filter->where = "0";
        }
        return;
      }
      if (!sqlMatchesMemory(attribute.type, value_, op_)) return inMemory();
      filter->where = sqlComparison(column, op_);
      filter->bindings.push_back(value_);
      return;
    }
    case Kind::And: {
      std::string where;
      for (const auto& p : subpredicates_) {
        StoreFilter sub;
        p->appendSql(entity, &sub);
        if (!sub.exact) filter->exact = false;
        if (sub.where == "1") continue;
        if (!where.empty()) where += " AND ";
        where += "(" + sub.where + ")";
        filter->bindings.insert(filter->bindings.end(), sub.bindings.begin(), sub.bindings.end());
      }
      filter->where = where.empty() ? "1" : where;
      return;
    }
    case Kind::Or:
    case Kind::Not: {
      std::string where;
      std::vector<ns::Value> bindings;
      for (const auto& p : subpredicates_) {
        StoreFilter sub;
        p->appendSql(entity, &sub);
        // A partial condition may not be negated or joined by OR.
        if (!sub.exact) return inMemory();
        if (!where.empty()) where += " OR ";
        where += "(" + sub.where + ")";
        bindings.insert(bindings.end(), sub.bindings.begin(), sub.bindings.end());
      }
      // A nil compared is false in memory, so its NULL must not be negated
      // into NULL (which would drop the row) but into true.
      if (kind_ == Kind::Not) where = "NOT COALESCE(" + where + ", 0)";
      filter->where = where.empty() ? "0" : where;
      filter->bindings = std::move(bindings);
      return;
    }
  }
}

std::string Predicate::predicateFormat() const {
  switch (kind_) {
    case Kind::Constant: return truth_ ? "TRUEPREDICATE" : "FALSEPREDICATE";
    case Kind::And:
    case Kind::Or: {
      std::string s;
      for (const auto& p : subpredicates_) {
        if (!s.empty()) s += kind_ == Kind::And ? " AND " : " OR ";
        bool group = p->kind_ == Kind::And || p->kind_ == Kind::Or;
        s += group ? "(" + p->predicateFormat() + ")" : p->predicateFormat();
      }
      return s;
    }
    case Kind::Not: return "NOT (" + subpredicates_[0]->predicateFormat() + ")";
    case Kind::Self:
    case Kind::Comparison: {
      std::string lhs = kind_ == Kind::Self ? "SELF" : keyPath_;
      std::string op = operatorText(op_);
      if (options_) {
        op += "[";
        if (options_ & CaseInsensitive) op += "c";
        if (options_ & DiacriticInsensitive) op += "d";
        op += "]";
      }
      std::string rhs;
      if (comparesObject_) {
        rhs = object_ ? object_->objectID().URIRepresentation() : "nil";
      } else if (value_.isNull()) {
        rhs = "nil";
      } else if (value_.isString()) {
        rhs = "\"" + *value_.asString() + "\"";
      } else {
        rhs = value_.description();
      }
      return lhs + " " + op + " " + rhs;
    }
  }
  return {};
}

}  // namespace cd
