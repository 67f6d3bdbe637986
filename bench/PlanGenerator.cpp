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
  std::string header = "ID,Task,Owner,Start,Finish,Level,Notes";
  for (char& c : header) {
    c = c == ',' ? options.separator : c;
  }
  return header + (options.crlf ? "\r\n" : "\n");
}

std::string PlanGenerator::Pick(const char* const* words, std::size_t count) {
  return words[random() % count];
}

void PlanGenerator::AppendLevel(std::string& out) {
  const auto roll = random() % 100;
  const std::string level = std::to_string(1 + random() % 8);
  if (roll < 3) {
    out += "\"" + level + "\"";
  } else if (roll < 5) {
    // no level given
  } else if (roll < 8) {
    out += " " + level;
  } else {
    out += level;
  }
}

void PlanGenerator::AppendLine(std::string& out) {
  ++id;
  const std::string task = Pick(Verbs, std::size(Verbs)) + " " + Pick(Things, std::size(Things));
  // A task with a comma or a quotation mark must be quoted; others are
  // quoted half the time, as exporters differ.
  const bool quotedTask = task.find_first_of(",\"") != std::string::npos || random() % 2 == 0;
  const char sep = options.separator;
  out += std::to_string(id);
  out += sep;
  out += quotedTask ? "\"" + task + "\"" : task;
  out += sep;
  out += Pick(Owners, std::size(Owners));
  const auto month = 1 + random() % 12;
  const auto day = 10 + random() % 18;
  out += sep;
  out += "2027-" + std::string(month < 10 ? "0" : "") + std::to_string(month) + "-" + std::to_string(day);
  out += sep;
  out += "2027-" + std::string(month < 10 ? "0" : "") + std::to_string(month) + "-" + std::to_string(day + 1);
  out += sep;
  AppendLevel(out);
  out += sep;
  if (sep == ';') {
    // Work in days with a decimal comma, as such exports have.
    out += std::to_string(random() % 40) + "," + std::to_string(random() % 10) + " Tage;";
  }
  if (options.longLines && random() % 20000 == 0) {
    const std::size_t length = 30000 + random() % 70000;
    const std::size_t start = out.size();
    out += '"';
    while (out.size() - start < length) {
      out += "long note, with commas and \"\"quotes\"\" ";
    }
    out += '"';
  } else {
    out += Pick(Notes, std::size(Notes));
  }
  out += options.crlf ? "\r\n" : "\n";
}

}  // namespace rungwell::bench
