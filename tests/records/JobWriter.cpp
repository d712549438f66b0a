// Records jobs for one user through its own session, as a second desktop
// agent would: job_writer <user id> <count> <cost per unit>.  The connection
// settings come from the hive of the calling test.
#include <kx4data/KXData.h>
#include <kx4data/PrintJob.h>

#include <cstdio>
#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: job_writer <user id> <count> <cost per unit>\n");
    return 2;
  }
  kx4::KXData session;
  session.SetCaller("job_writer");
  kx4::KXErrorPtr error = session.EstablishConnection(kx4::Variant(true));
  if (!error)
    error = session.GetAuthorization();
  const int count = std::atoi(argv[2]);
  for (int i = 0; i < count && !error; ++i) {
    kx4::PrintJob job;
    job.SetUserId(std::atoi(argv[1]));
    job.SetUnitMeasureId(kx4::kxuPages);
    job.SetPages(1);
    job.SetCopies(1);
    job.SetCostPerUnit(kx4::Currency::Parse(argv[3]));
    job.SetNetworkUser("writer");
    job.SetPrinterName("Laser");
    job.SetDocument("job " + std::to_string(i));
    error = job.Save(session);
  }
  if (error) {
    std::fprintf(stderr, "%s\n", error->Message().c_str());
    return 1;
  }
  return 0;
}
