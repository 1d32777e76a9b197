// A store routine: SQLite and the store's own headers. Built with NVX_PROBE_QT it also reaches for
// Qt, which the store's libraries must not let it find.
#ifdef NVX_PROBE_QT
#include <QObject>
#endif

#include "store/sqlite_db.h"

namespace nvx::layering {

bool ProbeStore(SqliteDB& db) {
#ifdef NVX_PROBE_QT
  QObject owner;
#endif
  return db.Execute("SELECT 1");
}

}  // namespace nvx::layering
