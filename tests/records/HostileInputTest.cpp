// Hostile texts through every text property of the record classes and every
// text filter of DataGlobal's lists, on both engines: each is stored and read
// back exactly as assigned (none of them has edge blanks to trim) or refused
// with an error that says so, and nothing else in the database changes.
#include <kx4data/AppTrack.h>
#include <kx4data/Configuration.h>
#include <kx4data/DataGlobal.h>
#include <kx4data/PaperType.h>
#include <kx4data/PrintJob.h>
#include <kx4data/Printer.h>
#include <kx4data/Settings.h>
#include <kx4data/User.h>
#include <kx4data/ValidatedValue.h>
#include <kx4data/ado/Recordset.h>

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "records/RecordTestSupport.h"
#include "session/Text.h"

namespace kx4::test {
namespace {

using namespace std::string_literals;

std::vector<std::string> HostileTexts() {
  return {
      "O'Brien",
      "it''s \"quoted\" \"\"twice\"\"",
      "back\\slash\\ and \\'",
      "100% _under_ [bracket] [^a-z] [%]",
      "nul\0byte"s,
      "bad\xC3\x28utf8 \xFF\xFE",
      "printer \xF0\x9F\x96\xA8 \xF0\x9D\x84\x9E",
      "e\xCC\x81\xCC\x81 a\xCC\x8A",
      "\xD7\xA9\xD7\x9C\xD7\x95\xD7\x9D abc \xD8\xB9\xD8\xB1\xD8\xA8\xD9\x8A",
      std::string(10000, 'x'),
      "x'); DELETE FROM tblUsers; --",
      "'; DROP TABLE tblPrintJobs; SELECT '",
      "$$ $tag$ body $tag$ $$",
      "-- not a comment",
      "/* open comment",
      "? and $1 and :name and @p",
  };
}

// One text property: saves a new record holding `text` (the record's other
// texts made unique by `k`) and reads it back through the library.
struct Property {
  const char* name;
  const char* table;
  std::function<KXErrorPtr(KXData&, const std::string& text, int k, int32_t& id)> save;
  std::function<KXErrorPtr(KXData&, int32_t id, std::string& text)> read;
};

std::string Unique(const char* what, int k) {
  return std::string(what) + std::to_string(k);
}

KXErrorPtr LoadRecord(AppTrack& record, KXData& session, int32_t id) {
  return record.Load(id, session);
}
template <class Record>
KXErrorPtr LoadRecord(Record& record, KXData& session, int32_t id) {
  return record.Load(session, id);
}

// A property of a record class that saves and loads itself: `set` assigns
// the tested text and makes the record's other texts unique.
template <class Record>
Property Of(const char* name, const char* table,
            std::function<void(Record&, const std::string&, int)> set,
            std::function<std::string(const Record&)> get) {
  return {name, table,
          [set](KXData& session, const std::string& text, int k, int32_t& id) {
            Record record;
            set(record, text, k);
            KXErrorPtr error = record.Save(session);
            id = record.Id();
            return error;
          },
          [get](KXData& session, int32_t id, std::string& text) {
            Record record;
            KXErrorPtr error = LoadRecord(record, session, id);
            text = get(record);
            return error;
          }};
}

// A job is never read back by the library: its row is.
std::function<KXErrorPtr(KXData&, const std::string&, int, int32_t&)> SaveJob(
    void (PrintJob::*set)(const std::string&)) {
  return [set](KXData& session, const std::string& text, int, int32_t& id) {
    PrintJob job;
    job.SetUnitMeasureId(kxuPages);
    job.SetPages(1);
    job.SetCopies(1);
    (job.*set)(text);
    id = 0;
    return job.Save(session);
  };
}

class HostileInput : public RecordTest {
 protected:
  // Rows per table: what "nothing else changes" is checked against.
  std::string Counts() {
    std::string counts;
    for (const char* table :
         {"tblUsers", "tblPrinters", "tblPrintJobs", "tblValidatedValues", "tblApplications",
          "tblConfigurations", "tblPaperTypes", "tblConfigurationPaperTypes", "tblSettings"})
      counts += std::string(table) + "=" + std::to_string(Count(table)) + " ";
    return counts;
  }

  std::string JobColumn(const char* column) {
    return Value(std::string("SELECT ") + column +
                 " FROM tblPrintJobs WHERE PrintJobId = (SELECT MAX(PrintJobId) FROM "
                 "tblPrintJobs)")
        .ToString();
  }

  std::vector<Property> Properties() {
    std::vector<Property> all;
    all.push_back(Of<User>(
        "User.Name", "tblUsers",
        [](User& u, const std::string& text, int k) {
          u.SetPinCode(Unique("pin", k));
          u.SetName(text);
        },
        [](const User& u) { return u.Name(); }));
    // The PIN is stored enciphered: the test reads it back by authorising a
    // session with it.
    all.push_back(Of<User>(
        "User.PinCode", "tblUsers",
        [](User& u, const std::string& text, int k) {
          u.SetPinCode(text);
          u.SetName(Unique("name", k));
        },
        [](const User&) { return std::string(); }));
    for (bool port : {false, true}) {
      all.push_back(Of<Printer>(
          port ? "Printer.Port" : "Printer.Name", "tblPrinters",
          [port](Printer& p, const std::string& text, int k) {
            p.SetName(port ? Unique("printer", k) : text);
            p.SetPort(port ? text : Unique("port", k));
          },
          [port](const Printer& p) { return port ? p.Port() : p.Name(); }));
      all.push_back(Of<ValidatedValue>(
          port ? "ValidatedValue.Code" : "ValidatedValue.Description", "tblValidatedValues",
          [port](ValidatedValue& v, const std::string& text, int k) {
            v.SetCode(port ? text : Unique("code", k));
            v.SetDescription(port ? Unique("description", k) : text);
          },
          [port](const ValidatedValue& v) { return port ? v.Code() : v.Description(); }));
      all.push_back(Of<AppTrack>(
          port ? "AppTrack.Description" : "AppTrack.Name", "tblApplications",
          [port](AppTrack& a, const std::string& text, int k) {
            a.SetName(port ? Unique("app", k) : text);
            a.SetDescription(port ? text : Unique("description", k));
          },
          [port](const AppTrack& a) { return port ? a.Description() : a.Name(); }));
      all.push_back(Of<Configuration>(
          port ? "Configuration.MaxError" : "Configuration.Name", "tblConfigurations",
          [port](Configuration& c, const std::string& text, int k) {
            c.SetName(port ? Unique("configuration", k) : text);
            c.SetMaxError(port ? text : "");
            c.SetUnitMeasureId(kxuPages);
          },
          [port](const Configuration& c) { return port ? c.MaxError() : c.Name(); }));
    }
    all.push_back(Of<PaperType>(
        "PaperType.Description", "tblPaperTypes",
        [](PaperType& p, const std::string& text, int) { p.SetDescription(text); },
        [](const PaperType& p) { return p.Description(); }));
    const std::pair<const char*, void (PrintJob::*)(const std::string&)> job_texts[] = {
        {"NetworkUser", &PrintJob::SetNetworkUser},
        {"PrinterName", &PrintJob::SetPrinterName},
        {"PrinterPort", &PrintJob::SetPort},
        {"Document", &PrintJob::SetDocument},
        {"UserDefined1", &PrintJob::SetUserDefinedOne},
        {"UserDefined2", &PrintJob::SetUserDefinedTwo},
        {"MachineName", &PrintJob::SetMachineName},
        {"ProcessName", &PrintJob::SetProcessName},
        {"PaperType", &PrintJob::SetPaperType},
        {"PaperSize", &PrintJob::SetPaperSize},
        {"ConfigName", &PrintJob::SetConfigName},
    };
    for (const auto& [column, set] : job_texts) {
      all.push_back({column, "tblPrintJobs", SaveJob(set),
                     [this, column = column](KXData&, int32_t, std::string& text) {
                       text = JobColumn(column);
                       return KXErrorPtr();
                     }});
    }
    for (int field = 0; field < 3; ++field) {
      all.push_back({field == 0   ? "Settings.FieldOneName"
                     : field == 1 ? "Settings.FieldTwoName"
                                  : "Settings.ValidatedFieldName",
                     "tblSettings",
                     [field](KXData& s, const std::string& text, int, int32_t& id) {
                       std::shared_ptr<Settings> settings;
                       if (KXErrorPtr e = DataGlobal().GetSettings(s, settings))
                         return e;
                       if (field == 0)
                         settings->SetFieldOneName(text);
                       else if (field == 1)
                         settings->SetFieldTwoName(text);
                       else
                         settings->SetValidatedFieldName(text);
                       id = 0;
                       return settings->Save(s);
                     },
                     [field](KXData& s, int32_t, std::string& text) {
                       std::shared_ptr<Settings> settings;
                       KXErrorPtr e = DataGlobal().GetSettings(s, settings);
                       if (!e)
                         text = field == 0   ? settings->FieldOneName()
                                : field == 1 ? settings->FieldTwoName()
                                             : settings->ValidatedFieldName();
                       return e;
                     }});
    }
    return all;
  }
};

std::string Shown(const std::string& text) {
  std::string shown;
  for (unsigned char c : text.substr(0, 60))
    shown +=
        c >= 0x20 && c < 0x7F ? std::string(1, static_cast<char>(c)) : "\\x" + std::to_string(c);
  return shown + (text.size() > 60 ? "... (" + std::to_string(text.size()) + ")" : "");
}

TEST_P(HostileInput, EveryTextPropertyStoresItExactlyOrRefusesIt) {
  int stored = 0, refused = 0, k = 0;
  for (const Property& property : Properties()) {
    for (const std::string& text : HostileTexts()) {
      SCOPED_TRACE(std::string(property.name) + " = " + Shown(text));
      ++k;
      const std::string before = Counts();
      int32_t id = -1;
      KXErrorPtr error = property.save(session(), text, k, id);
      if (error) {
        ++refused;
        EXPECT_FALSE(error->Message().empty());
        EXPECT_EQ(Counts(), before) << error->Message();
        continue;
      }
      ++stored;
      std::string read;
      KXErrorPtr read_error = property.read(session(), id, read);
      if (std::string(property.name) == "User.PinCode") {
        auto other = OpenSession(true, false);
        std::shared_ptr<User> user;
        read_error = other->GetAuthorization(text, user);
        read = read_error == nullptr && user && user->Id() == id ? text : "";
      }
      ASSERT_EQ(read_error, nullptr) << "read back: " << read_error->Message();
      // A job's port and process name are stored in upper case.
      const std::string name = property.name;
      const std::string expected =
          name == "PrinterPort" || name == "ProcessName" ? UCase(text) : text;
      EXPECT_EQ(Shown(read), Shown(expected));
      EXPECT_EQ(read, expected);
      // One new row in the property's own table, or none for the settings.
      const std::string after = Counts();
      const std::string table = property.table;
      if (table == "tblSettings") {
        EXPECT_EQ(after, before);
      }
    }
  }
  std::printf("FIGURES hostile-input-%s properties=%zu texts=%zu stored=%d refused=%d\n",
              IsSqlite() ? "sqlite" : "postgres", Properties().size(), HostileTexts().size(),
              stored, refused);
}

// Each hostile text as every text filter of DataGlobal's lists, once each
// text is also stored where that filter looks: a list or a clear error, the
// stored row found by its own text as prefix, and nothing changed.
TEST_P(HostileInput, EveryListFilterTakesItAsAPrefixOrRefusesIt) {
  int k = 0, found = 0, refused = 0;
  for (const std::string& text : HostileTexts()) {
    ++k;
    User user;
    user.SetPinCode(Unique("pin", k));
    user.SetName(text);
    const bool user_stored = user.Save(session()) == nullptr;
    ValidatedValue value;
    value.SetCode(text);
    value.SetDescription(text);
    const bool value_stored = value.Save(session()) == nullptr;
    PrintJob job;
    job.SetUnitMeasureId(kxuPages);
    job.SetPrinterName(text);
    job.SetNetworkUser(text);
    job.SetUserDefinedOne(text);
    job.SetUserDefinedTwo(text);
    const bool job_stored = job.Save(session()) == nullptr;

    struct Filter {
      const char* name;
      bool stored;
      std::function<KXErrorPtr(std::shared_ptr<ado::Recordset>&)> list;
    };
    const Variant t(text), null = Variant::Null();
    auto job_list = [&](int index) {
      std::vector<Variant> filters(8, null);
      filters[static_cast<size_t>(index)] = t;
      return Variant(VariantArray(std::move(filters)));
    };
    const Filter filters[] = {
        {"GetUserList name", user_stored,
         [&](auto& rs) {
           return DataGlobal().GetUserList(session(), rs, Variant(VariantArray{null, t}));
         }},
        {"GetValidatedValueList code", value_stored,
         [&](auto& rs) {
           return DataGlobal().GetValidatedValueList(session(), rs,
                                                     Variant(VariantArray{null, t, null}));
         }},
        {"GetValidatedValueList description", value_stored,
         [&](auto& rs) {
           return DataGlobal().GetValidatedValueList(session(), rs,
                                                     Variant(VariantArray{null, null, t}));
         }},
        {"GetJobList printer", job_stored,
         [&](auto& rs) { return DataGlobal().GetJobList(session(), rs, job_list(1)); }},
        {"GetJobList network user", job_stored,
         [&](auto& rs) { return DataGlobal().GetJobList(session(), rs, job_list(2)); }},
        {"GetJobList user name", false,
         [&](auto& rs) { return DataGlobal().GetJobList(session(), rs, job_list(5)); }},
        {"GetJobList user field one", job_stored,
         [&](auto& rs) { return DataGlobal().GetJobList(session(), rs, job_list(6)); }},
        {"GetJobList user field two", job_stored,
         [&](auto& rs) { return DataGlobal().GetJobList(session(), rs, job_list(7)); }},
    };
    for (const Filter& filter : filters) {
      SCOPED_TRACE(std::string(filter.name) + " = " + Shown(text));
      const std::string before = Counts();
      std::shared_ptr<ado::Recordset> rs;
      KXErrorPtr error = filter.list(rs);
      EXPECT_EQ(Counts(), before);
      if (error) {
        ++refused;
        EXPECT_FALSE(error->Message().empty());
        continue;
      }
      ASSERT_NE(rs, nullptr);
      int rows = 0;
      for (; !rs->Eof(); rs->MoveNext())
        ++rows;
      // The texts differ in their first characters, so each finds its own.
      if (filter.stored && text.find('\0') == std::string::npos) {
        EXPECT_GE(rows, 1);
        found += rows > 0 ? 1 : 0;
      }
    }
  }
  std::printf("FIGURES hostile-filters-%s found=%d refused=%d\n",
              IsSqlite() ? "sqlite" : "postgres", found, refused);
}

KX4_INSTANTIATE_ENGINES(HostileInput);

}  // namespace
}  // namespace kx4::test
