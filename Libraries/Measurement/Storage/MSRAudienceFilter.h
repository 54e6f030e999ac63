// What an event filter and a property filter of an audience share as the
// measurement database keeps them: the audience and filter ids, the name
// the filter applies to and the encoded filter message. The three flags
// are read from that message each time a filter is read (all false when it
// no longer decodes); only the session-scoped one has a column of its own.
#pragma once

#include <cstdint>
#include <string>

#include "Platform/Foundation/Value.h"

class MSRAudienceFilter {
 public:
  int32_t audienceID() const { return audienceID_; }
  int32_t filterID() const { return filterID_; }
  const ns::Data& data() const { return data_; }
  bool isSessionScoped() const { return sessionScoped_; }
  bool isDynamic() const { return dynamic_; }
  bool isSequence() const { return sequence_; }

 protected:
  MSRAudienceFilter(int32_t audienceID, int32_t filterID, std::string name, ns::Data data, bool sessionScoped,
                    bool dynamic, bool sequence)
      : audienceID_(audienceID), filterID_(filterID), name_(std::move(name)), data_(std::move(data)),
        sessionScoped_(sessionScoped), dynamic_(dynamic), sequence_(sequence) {}
  const std::string& filteredName() const { return name_; }

 private:
  int32_t audienceID_;
  int32_t filterID_;
  std::string name_;
  ns::Data data_;
  bool sessionScoped_;
  bool dynamic_;
  bool sequence_;
};
