// The parts of the PostgreSQL engine that need no server: the data-source
// mapping, value conversion and error numbers.
#include <kx4data/DateTime.h>

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>

#include "dataaccess/Engine.h"
#include "dataaccess/postgres/ConnectParams.h"
#include "dataaccess/postgres/PgConnection.h"
#include "dataaccess/postgres/PgErrors.h"
#include "dataaccess/postgres/PgValues.h"

namespace kx4::ado::pg {
namespace {

TEST(PgDataSource, ServerForms) {
  struct Case {
    const char* data_source;
    const char* host;
    const char* port;
  };
  for (const Case& c : {
           Case{"db1", "db1", ""},
           Case{"db1,5433", "db1", "5433"},
           Case{" db1 , 5433 ", "db1", "5433"},
           Case{"db1:5433", "db1", "5433"},
           Case{"tcp:db1,5433", "db1", "5433"},
           Case{"10.0.0.7", "10.0.0.7", ""},
           Case{"::1", "::1", ""},
           Case{"[::1]:5433", "::1", "5433"},
           Case{"[fe80::1],5433", "fe80::1", "5433"},
           Case{"/run/postgresql", "/run/postgresql", ""},
           Case{"/tmp/my,folder,5433", "/tmp/my,folder", "5433"},
           Case{"/tmp/my,folder", "/tmp/my,folder", ""},
           Case{"(local)", "", ""},
           Case{".", "", ""},
           Case{".,5433", "", "5433"},
           Case{"", "", ""},
       }) {
    ServerAddress address = ParseDataSource(c.data_source);
    EXPECT_EQ(address.host, c.host) << c.data_source;
    EXPECT_EQ(address.port, c.port) << c.data_source;
  }
  for (const char* bad : {"db1\\SQLEXPRESS", "db1,port", "db1,0", "db1:70000", "[::1"}) {
    try {
      ParseDataSource(bad);
      ADD_FAILURE() << "accepted " << bad;
    } catch (const EngineError& e) {
      EXPECT_EQ(e.HResult(), kErrProviderFailure) << bad;
      EXPECT_EQ(e.Errors().at(0).NativeError, 17) << bad;
    }
  }
}

TEST(PgDataSource, LoginsAndSessionSettings) {
  ConnectionOptions login = ConnectionOptions::Parse(
      "Provider=SQLOLEDB;Data Source=db1,5433;Database=Tracking;User ID=sa;Password=p w'\"x");
  ConnectParams params = ConnectParams::From(login);
  EXPECT_EQ(*params.Find("host"), "db1");
  EXPECT_EQ(*params.Find("port"), "5433");
  EXPECT_EQ(*params.Find("dbname"), "Tracking");
  EXPECT_EQ(*params.Find("user"), "sa");
  EXPECT_EQ(*params.Find("password"), "p w'\"x");  // passed as it stands
  EXPECT_EQ(params.Find("options")->find("read_only"), std::string::npos);
  EXPECT_EQ(params.Keywords().back(), nullptr);

  ConnectionOptions trusted = ConnectionOptions::Parse(
      "Provider=SQLOLEDB;Data Source=db1;Database=Tracking;Trusted_Connection=Yes;");
  trusted.user_id = "ignored";
  trusted.mode = adModeRead;
  trusted.connect_timeout = 1;
  params = ConnectParams::From(trusted, "postgres");
  EXPECT_EQ(*params.Find("dbname"), "postgres");
  EXPECT_EQ(*params.Find("user"), OperatingSystemUser());
  EXPECT_EQ(params.Find("password"), nullptr);
  EXPECT_NE(params.Find("options")->find("default_transaction_read_only=on"), std::string::npos);
  EXPECT_TRUE(params.ReadOnly());
  EXPECT_EQ(params.TimeoutSeconds(), 1);  // honoured as given, not rounded up to 2
}

TEST(PgDataSource, ConnectTimeoutIsHonouredAsGiven) {
  // A listener that never answers: the connect waits for the server's first
  // word until the limit, one second here (libpq alone would wait two).
  int listener = socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(listener, 0);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  ASSERT_EQ(bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  ASSERT_EQ(listen(listener, 4), 0);
  socklen_t length = sizeof address;
  getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length);
  ConnectionOptions options = ConnectionOptions::Parse("Provider=SQLOLEDB;Data Source=127.0.0.1," +
                                                       std::to_string(ntohs(address.sin_port)) +
                                                       ";Database=x;User ID=a;Password=b");
  options.connect_timeout = 1;
  const auto start = std::chrono::steady_clock::now();
  try {
    PgConnection connection(ConnectParams::From(options));
    ADD_FAILURE() << "connected to a listener that never answers";
  } catch (const EngineError& e) {
    EXPECT_EQ(e.HResult(), kErrProviderFailure);
    EXPECT_EQ(e.Errors().at(0).NativeError, 17);
    EXPECT_EQ(e.Errors().at(0).SQLState, "HYT00");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(10));
  close(listener);
}

TEST(PgValues, MoneyIsExact) {
  EXPECT_EQ(ParseCurrencyTicks("0.3000"), 3000);
  EXPECT_EQ(ParseCurrencyTicks("-12.3456"), -123456);
  EXPECT_EQ(ParseCurrencyTicks("922337203685477.5807"), INT64_MAX);
  EXPECT_EQ(ParseCurrencyTicks("5"), 50000);
  EXPECT_EQ(ParseCurrencyTicks("1.00005"), 10000);  // half to even
  EXPECT_EQ(ParseCurrencyTicks("1.00015"), 10002);
  EXPECT_EQ(ParseCurrencyTicks("1.000051"), 10001);
  EXPECT_EQ(ParseCurrencyTicks("922337203685477.5808"), std::nullopt);
  EXPECT_EQ(ParseCurrencyTicks("NaN"), std::nullopt);
  EXPECT_EQ(ParseCurrencyTicks(""), std::nullopt);
  EXPECT_EQ(CurrencyText(-123456), "-12.3456");
  EXPECT_EQ(CurrencyText(5), "0.0005");
  EXPECT_EQ(CurrencyText(INT64_MIN), "-922337203685477.5808");
}

TEST(PgValues, TimestampsAsDateTimeSeconds) {
  EXPECT_EQ(ParseTimestampSeconds("2024-03-05 10:15:30"),
            DateTime::FromCivil(2024, 3, 5, 10, 15, 30).Seconds());
  EXPECT_EQ(ParseTimestampSeconds("2024-03-05 10:15:30.5"),
            DateTime::FromCivil(2024, 3, 5, 10, 15, 31).Seconds());
  EXPECT_EQ(ParseTimestampSeconds("2024-03-05 10:15:30.499999+01"),
            DateTime::FromCivil(2024, 3, 5, 10, 15, 30).Seconds());
  EXPECT_EQ(ParseTimestampSeconds("1899-12-30"), 0);
  EXPECT_EQ(ParseTimestampSeconds("1899-12-29 23:59:59"), -1);
  EXPECT_EQ(ParseTimestampSeconds("infinity"), std::nullopt);
  EXPECT_EQ(ParseTimestampSeconds("12000-01-01 00:00:00"), std::nullopt);
  EXPECT_EQ(TimestampText(DateTime::FromCivil(2024, 2, 29, 23, 5, 9).Seconds()),
            "2024-02-29 23:05:09");
  EXPECT_EQ(TimestampText(-1), "1899-12-29 23:59:59");
  EXPECT_EQ(ParseTimeSeconds("01:02:03"), 3723);
}

TEST(PgErrors, NativeNumbers) {
  EXPECT_EQ(NativeErrorFor("23505", "ix_tblusers_pincode"), 2601);
  EXPECT_EQ(NativeErrorFor("23505", "tblusers_pkey"), 2627);
  EXPECT_EQ(NativeErrorFor("42601"), 102);
  EXPECT_EQ(NativeErrorFor("42P01"), 208);
  EXPECT_EQ(NativeErrorFor("42703"), 207);
  EXPECT_EQ(NativeErrorFor("28P01"), 18456);
  EXPECT_EQ(NativeErrorFor("3D000"), 4060);
  EXPECT_EQ(NativeErrorFor("25006"), 3906);
  EXPECT_EQ(NativeErrorFor("57014"), kNativeTimeout);
  EXPECT_EQ(NativeErrorFor("08006"), kNativeConnectionLost);
  EXPECT_EQ(NativeErrorFor("XX000"), kNativeOther);
  EXPECT_EQ(HResultFor("57014"), kErrTimeout);
  EXPECT_EQ(HResultFor("28P01"), kErrProviderFailure);
  EXPECT_EQ(HResultFor("23505"), kErrIntegrityViolation);
  EXPECT_EQ(HResultFor("22003"), kErrCommandFailed);
}

}  // namespace
}  // namespace kx4::ado::pg
