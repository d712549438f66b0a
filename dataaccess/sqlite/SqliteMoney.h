// Money on SQLite.  A money column holds whole ten-thousandths in an
// integer; typed statements compute on them through the functions below,
// which follow dataaccess/Money.h, so that every expression gives the
// decimal answer PostgreSQL gives:
//   kx4_madd/msub/mmul/mdiv/mmod(a, b, mask)  a op b; mask bit 1: a is money,
//                                             bit 2: b is; the others are
//                                             exact numbers (integers,
//                                             decimal text)
//   kx4_mneg(m)             -m
//   kx4_tomoney(x[, places])  a number or text as money
//   kx4_mround(m, n[, f])   ROUND(m, n[, f]); kx4_mceiling, kx4_mfloor
//   kx4_mtoint(m)           m as an integer, half away from zero
//   kx4_mtext(m)            "12.3456"
//   kx4_mcmp(x)             x scaled to ten-thousandths, for comparing
//   kx4_mavg(m)             AVG
// Failures carry SQL Server's texts: "Arithmetic overflow error ..." and
// "Divide by zero error encountered.".
#ifndef KX4DATA_DATAACCESS_SQLITE_SQLITEMONEY_H_
#define KX4DATA_DATAACCESS_SQLITE_SQLITEMONEY_H_

#include <string>

#include "dataaccess/Money.h"

struct sqlite3;

namespace kx4::ado::dialect {
class Analyzer;
class Edits;
}  // namespace kx4::ado::dialect

namespace kx4::ado::sqlite {

// Returns an SQLite result code.
int RegisterMoneyFunctions(sqlite3* db);

// An exact number in ten-thousandths: true and `whole` when it is a whole
// count of them, else false and `literal` the nearest real, which no whole
// count equals.  `literal` holds the digits either way.
bool Scaled(const money::Exact& x, std::string& literal, money::Wide& whole);

// The edits that run a typed statement's money on ten-thousandths
// (SqliteMoneyRender.cpp).
void RenderMoney(const dialect::Analyzer& analysis, dialect::Edits& edits);

}  // namespace kx4::ado::sqlite

#endif  // KX4DATA_DATAACCESS_SQLITE_SQLITEMONEY_H_
