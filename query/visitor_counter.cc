#include "query/visitor_counter.h"

#include <string>
#include <vector>

#include "base/group_commit.h"
#include "query/access.h"

namespace tellwen::query {
namespace {

// One visitor waiting for a number from the store of settings.
struct Ticket {
  Settings* settings = nullptr;
  int number = 0;
};

// Hands out the numbers of one group: per store, one read of WebCounter,
// the next numbers in the group's order, and one write of the last.
bool NumberGroup(std::vector<Ticket*>& tickets) {
  for (size_t first = 0; first < tickets.size();) {
    Settings& settings = *tickets[first]->settings;
    int value = settings.GetIntValue("WebCounter");
    size_t next = first;
    for (; next < tickets.size() && tickets[next]->settings == &settings; ++next) {
      value = NextVisitorNumber(value);
      tickets[next]->number = value;
    }
    settings.SetValue("WebCounter", std::to_string(value));
    first = next;
  }
  return true;
}

GroupCommit<Ticket*, bool>& CounterWrites() {
  static GroupCommit<Ticket*, bool>* writes = new GroupCommit<Ticket*, bool>(&NumberGroup);
  return *writes;
}

}  // namespace

int TakeVisitorNumber(Settings& settings) {
  Ticket ticket;
  ticket.settings = &settings;
  CounterWrites().Write(&ticket);
  return ticket.number;
}

}  // namespace tellwen::query
