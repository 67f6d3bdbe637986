#include "bench/PlanGenerator.h"

#include <iterator>

namespace rungwell::bench {

namespace {

const char* const Verbs[] = {"Plan", "Review", "Order", "Install", "Test", "Move", "Paint", "Sign off", "Clean"};
const char* const Things[] = {"the lease", "floor 2", "network, phase 1", "desks and chairs", "the \"\"A\"\" wing",
                              "cabling",   "keys",    "lighting",         "fire doors, east", "the server room"};
const char* const Owners[] = {"\"Ortega, Ana\"",         "Lee Min",   "\"Baker, Tom\"", "Contractor",
                              "\"O'Neil, \"\"Pat\"\"\"", "Facilities"};
const char* const Notes[] = {"",
                             "Needs board approval",
                             "\"Book the van, ask for keys\"",
                             "see \"\"plan B\"\"",
                             "Waiting for quote",
                             "\"Two visits, one crew\""};

}  // namespace

std::string ToUtf16Le(std::string_view ascii) {
  std::string wide = "\xFF\xFE";
  wide.reserve(2 * ascii.size() + 2);
  for (const char c : ascii) {
    wide += c;
    wide += '\0';
  }
  return wide;
}

PlanGenerator::PlanGenerator(const PlanOptions& planOptions) : options(planOptions), random(planOptions.seed) {}

std::string PlanGenerator::Header() const {
  std::string header;
  AppendFields(header, "Level", {"ID", "Task", "Owner", "Start", "Finish", "Notes"});
  return header + (options.crlf ? "\r\n" : "\n");
}

std::string PlanGenerator::Pick(const char* const* words, std::size_t count) {
  return words[random() % count];
}

std::string PlanGenerator::Level() {
  const auto roll = random() % 100;
  std::string level = std::to_string(1 + random() % 8);
  if (options.outlineNumbers) {
    const auto depth = static_cast<unsigned>(level[0] - '0');
    level = std::to_string(1 + random() % 9);
    for (unsigned i = 1; i < depth; ++i) {
      level += "." + std::to_string(1 + random() % 12);
    }
  }
  if (roll < 3) {
    return "\"" + level + "\"";
  }
  if (roll < 5) {
    return "";  // no level given
  }
  return roll < 8 ? " " + level : level;
}

void PlanGenerator::AppendFields(std::string& out, const std::string& level,
                                 std::initializer_list<std::string> fields) const {
  constexpr unsigned BeforeLevel = 5;
  unsigned index = 0;
  const auto append = [&](const std::string& field) {
    if (index++ > 0) {
      out += options.separator;
    }
    out += field;
  };
  unsigned usual = 0;  // the field's place in the usual order
  for (const std::string& field : fields) {
    // Cost columns between the usual ones and a level further on.
    while (usual == BeforeLevel && index < options.levelColumn) {
      append(std::to_string(100 + index * 7) + ".50");
    }
    if (index == options.levelColumn) {
      append(level);
    }
    append(field);
    ++usual;
  }
}

void PlanGenerator::AppendLine(std::string& out) {
  ++id;
  const std::string task = Pick(Verbs, std::size(Verbs)) + " " + Pick(Things, std::size(Things));
  // A task with a comma or a quotation mark must be quoted; others are
  // quoted half the time, as exporters differ.
  const bool quotedTask = task.find_first_of(",\"") != std::string::npos || random() % 2 == 0;
  // Drawn in the order the fields were always written, so that a seed gives
  // the plan it always gave.
  const std::string owner = Pick(Owners, std::size(Owners));
  const auto month = 1 + random() % 12;
  const auto day = 10 + random() % 18;
  const std::string date = "2027-" + std::string(month < 10 ? "0" : "") + std::to_string(month) + "-";
  std::string level = Level();
  std::string notes;
  if (options.separator == ';') {
    // Work in days with a decimal comma, as such exports have.
    notes = std::to_string(random() % 40) + "," + std::to_string(random() % 10) + " Tage;";
  }
  if (options.longLines && random() % 20000 == 0) {
    const std::size_t length = 30000 + random() % 70000;
    const std::size_t start = notes.size();
    notes += '"';
    while (notes.size() - start < length) {
      notes += "long note, with commas and \"\"quotes\"\" ";
    }
    notes += '"';
  } else if (options.cellsOverLines && random() % 10 == 0) {
    notes += "\"" + Pick(Notes, std::size(Notes)) + "\n" + Pick(Notes, std::size(Notes)) + ",\nand more\"";
  } else {
    notes += Pick(Notes, std::size(Notes));
  }
  AppendFields(out, level,
               {std::to_string(id), quotedTask ? "\"" + task + "\"" : task, owner, date + std::to_string(day),
                date + std::to_string(day + 1), notes});
  out += options.crlf ? "\r\n" : "\n";
}

}  // namespace rungwell::bench
