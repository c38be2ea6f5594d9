#include "platform/fatal_error.h"

#include <utility>

namespace catpub {
namespace {

void AppendSubject(const FailureFields& fields, std::string& line) {
  if (!fields.column.empty()) line += " in " + fields.table + '.' + fields.column;
  if (!fields.file.empty()) line += (fields.column.empty() ? " " : " di ") + fields.file;
}

void AppendPlace(const RowPlace& place, std::string& line) {
  if (place.row == 0) return;
  line += " (riga " + std::to_string(place.row) + " di " + place.table;
  for (const auto& [label, value] : place.known_by) line += ", " + label + ' ' + value;
  line += ')';
}

}  // namespace

FatalError& FatalError::InFile(std::string windows_path) {
  fields_.file = std::move(windows_path);
  return *this;
}

FatalError& FatalError::InColumn(std::string table, std::string column) {
  fields_.table = std::move(table);
  fields_.column = std::move(column);
  return *this;
}

FatalError& FatalError::Because(std::string reason) {
  fields_.reason = std::move(reason);
  return *this;
}

FatalError& FatalError::AtServerStep(std::string step, std::string reply) {
  fields_.server_step = std::move(step);
  fields_.server_reply = std::move(reply);
  return *this;
}

std::string ReportLine(const FatalError& error) {
  const FailureFields& fields = error.fields();
  std::string line = "ERRORE : ";
  if (!fields.activity.empty()) line += fields.activity + ": ";
  line += fields.description;
  AppendSubject(fields, line);
  if (!fields.reason.empty()) line += ": " + fields.reason;
  if (!fields.server_step.empty()) line += ' ' + fields.server_step;
  if (!fields.server_reply.empty()) line += " : " + fields.server_reply;
  AppendPlace(fields.place, line);
  return line;
}

}  // namespace catpub
