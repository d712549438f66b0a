#include "tools/kx4/Output.h"

#include <kx4data/ado/Recordset.h>

#include <CLI/CLI.hpp>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <map>

#include "tools/kx4/Progress.h"

namespace kx4::cli {
namespace {

enum class Kind { kNull, kText, kNumber, kMoney, kDate, kFlag };

struct Cell {
  Kind kind = Kind::kNull;
  std::string text;
};

std::string NumberText(double value) {
  char buffer[32];
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
  return ec == std::errc() ? std::string(buffer, end) : std::to_string(value);
}

// The canonical text of a value and how each format treats it.
Cell Render(const Variant& value) {
  if (value.IsNull() || value.IsEmpty())
    return {};
  if (const bool* flag = value.Get<bool>())
    return {Kind::kFlag, *flag ? "true" : "false"};
  if (const Currency* money = value.Get<Currency>())
    return {Kind::kMoney, MoneyText(*money)};
  if (const DateTime* date = value.Get<DateTime>())
    return {Kind::kDate, IsoDate(*date)};
  if (const double* number = value.Get<double>())
    return std::isfinite(*number) ? Cell{Kind::kNumber, NumberText(*number)} : Cell{};
  if (const float* number = value.Get<float>())
    return std::isfinite(*number) ? Cell{Kind::kNumber, NumberText(*number)} : Cell{};
  if (value.Get<int16_t>() || value.Get<int32_t>() || value.Get<uint8_t>())
    return {Kind::kNumber, std::to_string(value.ToLong())};
  return {Kind::kText, value.ToString()};
}

bool RightAligned(Kind kind) {
  return kind == Kind::kNumber || kind == Kind::kMoney;
}

// Characters on a terminal: UTF-8 continuation bytes take no room.
size_t DisplayWidth(const std::string& text) {
  return static_cast<size_t>(
      std::count_if(text.begin(), text.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// One table cell stays on one line.
std::string TableText(const Cell& cell) {
  std::string text;
  for (char c : cell.text) {
    if (c == '\n')
      text += "\\n";
    else if (c == '\r')
      text += "\\r";
    else if (c == '\t')
      text += "\\t";
    else if ((c >= 0 && c < 0x20) || c == 0x7F)
      text += '?';
    else
      text += c;
  }
  return text;
}

void Pad(std::ostream& out, size_t count) {
  for (size_t i = 0; i < count; ++i)
    out << ' ';
}

void WriteTable(std::ostream& out, Rows& rows, Progress* progress) {
  const size_t columns = rows.ColumnCount();
  std::vector<size_t> widths(columns);
  std::vector<bool> right(columns, false);
  for (size_t c = 0; c < columns; ++c)
    widths[c] = DisplayWidth(rows.ColumnName(c));
  for (rows.First(); !rows.AtEnd(); rows.Next()) {
    for (size_t c = 0; c < columns; ++c) {
      const Cell cell = Render(rows.Value(c));
      widths[c] = std::max(widths[c], DisplayWidth(TableText(cell)));
      right[c] = right[c] || RightAligned(cell.kind);
    }
    if (progress)
      progress->Advance();
  }
  auto line = [&](const std::vector<std::string>& texts) {
    for (size_t c = 0; c < columns; ++c) {
      const size_t gap = widths[c] - DisplayWidth(texts[c]);
      if (c > 0)
        out << "  ";
      if (right[c])
        Pad(out, gap);
      out << texts[c];
      if (!right[c] && c + 1 < columns)
        Pad(out, gap);
    }
    out << '\n';
  };
  std::vector<std::string> texts(columns);
  for (size_t c = 0; c < columns; ++c)
    texts[c] = rows.ColumnName(c);
  line(texts);
  for (size_t c = 0; c < columns; ++c)
    texts[c] = std::string(widths[c], '-');
  line(texts);
  for (rows.First(); !rows.AtEnd(); rows.Next()) {
    for (size_t c = 0; c < columns; ++c)
      texts[c] = TableText(Render(rows.Value(c)));
    line(texts);
    if (progress)
      progress->Advance();
  }
}

void WriteCsvLine(std::ostream& out, const std::vector<std::string>& fields) {
  for (size_t c = 0; c < fields.size(); ++c) {
    if (c > 0)
      out << ',';
    out << CsvField(fields[c]);
  }
  out << "\r\n";
}

void WriteCsv(std::ostream& out, Rows& rows, Progress* progress, bool first_only) {
  std::vector<std::string> fields(rows.ColumnCount());
  for (size_t c = 0; c < fields.size(); ++c)
    fields[c] = rows.ColumnName(c);
  WriteCsvLine(out, fields);
  for (rows.First(); !rows.AtEnd(); rows.Next()) {
    for (size_t c = 0; c < fields.size(); ++c)
      fields[c] = Render(rows.Value(c)).text;
    WriteCsvLine(out, fields);
    if (progress)
      progress->Advance();
    if (first_only)
      break;
  }
}

std::string JsonValue(const Cell& cell) {
  switch (cell.kind) {
    case Kind::kNull:
      return "null";
    case Kind::kNumber:
    case Kind::kFlag:
      return cell.text;
    default:
      return JsonString(cell.text);
  }
}

void WriteJsonObject(std::ostream& out, Rows& rows, const char* indent) {
  out << "{";
  for (size_t c = 0; c < rows.ColumnCount(); ++c) {
    out << (c > 0 ? ",\n" : "\n") << indent << "  " << JsonString(rows.ColumnName(c)) << ": "
        << JsonValue(Render(rows.Value(c)));
  }
  out << "\n" << indent << "}";
}

}  // namespace

void AddFormatOption(CLI::App& command, Format& format) {
  static const std::map<std::string, Format> kFormats = {
      {"table", Format::kTable}, {"csv", Format::kCsv}, {"json", Format::kJson}};
  command.add_option("--format", format, "Output form: table, csv (RFC 4180) or json")
      ->transform(CLI::CheckedTransformer(kFormats, CLI::ignore_case).description(""))
      ->type_name("table|csv|json");
}

RecordsetRows::RecordsetRows(std::shared_ptr<ado::Recordset> records,
                             const std::set<std::string>& hidden)
    : records_(std::move(records)) {
  auto upper = [](std::string text) {
    for (char& c : text)
      c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c);
    return text;
  };
  std::set<std::string> hidden_upper;
  for (const auto& name : hidden)
    hidden_upper.insert(upper(name));
  for (int32_t f = 0; f < records_->FieldCount(); ++f) {
    const std::string& name = records_->Fields(f).Name();
    if (hidden_upper.count(upper(name)))
      continue;
    names_.push_back(name);
    fields_.push_back(f);
  }
}

int64_t RecordsetRows::RowCount() const {
  return records_->RecordCount();
}

void RecordsetRows::First() {
  if (records_->RecordCount() > 0)
    records_->MoveFirst();
}

bool RecordsetRows::AtEnd() const {
  return records_->RecordCount() <= 0 || records_->Eof();
}

void RecordsetRows::Next() {
  records_->MoveNext();
}

Variant RecordsetRows::Value(size_t column) const {
  return records_->Fields(fields_[column]).Value();
}

void WriteRows(std::ostream& out, Rows& rows, Format format, Progress* progress) {
  if (progress)
    progress->Start(rows.RowCount() < 0 ? -1
                                        : rows.RowCount() * (format == Format::kTable ? 2 : 1));
  switch (format) {
    case Format::kTable:
      WriteTable(out, rows, progress);
      break;
    case Format::kCsv:
      WriteCsv(out, rows, progress, false);
      break;
    case Format::kJson: {
      out << "[";
      bool first = true;
      for (rows.First(); !rows.AtEnd(); rows.Next()) {
        out << (first ? "\n  " : ",\n  ");
        first = false;
        WriteJsonObject(out, rows, "  ");
        if (progress)
          progress->Advance();
      }
      out << (first ? "]\n" : "\n]\n");
      break;
    }
  }
  if (progress)
    progress->Finish();
}

void WriteRecord(std::ostream& out, Rows& rows, Format format) {
  rows.First();
  if (rows.AtEnd())
    return;
  switch (format) {
    case Format::kTable: {
      size_t width = 0;
      for (size_t c = 0; c < rows.ColumnCount(); ++c)
        width = std::max(width, DisplayWidth(rows.ColumnName(c)));
      for (size_t c = 0; c < rows.ColumnCount(); ++c) {
        out << rows.ColumnName(c);
        Pad(out, width - DisplayWidth(rows.ColumnName(c)) + 2);
        out << TableText(Render(rows.Value(c))) << '\n';
      }
      break;
    }
    case Format::kCsv:
      WriteCsv(out, rows, nullptr, true);
      break;
    case Format::kJson:
      WriteJsonObject(out, rows, "");
      out << '\n';
      break;
  }
}

std::string MoneyText(Currency value) {
  const int64_t ticks = value.Ticks();
  // Unsigned, so that the most negative amount has a magnitude too.
  const uint64_t magnitude = ticks < 0 ? 0 - static_cast<uint64_t>(ticks) : ticks;
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, "%04u",
                static_cast<unsigned>(magnitude % static_cast<uint64_t>(Currency::kScale)));
  return (ticks < 0 ? "-" : "") +
         std::to_string(magnitude / static_cast<uint64_t>(Currency::kScale)) + "." + fraction;
}

std::string IsoDate(DateTime value) {
  return value.Format("yyyy-MM-ddTHH:mm:ss");
}

std::string JsonString(const std::string& text) {
  std::string json = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        json += "\\\"";
        break;
      case '\\':
        json += "\\\\";
        break;
      case '\n':
        json += "\\n";
        break;
      case '\r':
        json += "\\r";
        break;
      case '\t':
        json += "\\t";
        break;
      default:
        if (c >= 0 && c < 0x20) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
          json += escaped;
        } else {
          json += c;
        }
    }
  }
  return json + "\"";
}

std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos)
    return text;
  std::string field = "\"";
  for (char c : text) {
    field += c;
    if (c == '"')
      field += '"';
  }
  return field + "\"";
}

}  // namespace kx4::cli
