// Creates a template test database through ODBC: every table of the schema
// with the full row complement the save needs, holding the defaults of the
// test model.  New tests and the scratch database start as copies of it.
//
//   zd418_template_db FILE [DRIVER]
//
// DRIVER is the ODBC driver name (default "SQLite3", as scripts/odbc_env.sh
// registers it).  FILE is replaced only when the new database is complete.
#include <cstdio>
#include <string>

#include "platform/platform.h"
#include "testmodel/db_database.h"
#include "testmodel/model.h"

int main(int argc, char** argv) {
    if (argc < 2 || argc > 3) {
        fprintf(stderr, "usage: %s FILE [DRIVER]\n", argv[0]);
        return 2;
    }
    std::string file = argv[1];
    std::string driver = argc > 2 ? argv[2] : "SQLite3";
    std::string tmp = file + ".new";
    PlatformDeleteFile(tmp.c_str());
    if (!AllocateTestModel()) {
        fprintf(stderr, "%s: the test model could not be allocated\n", argv[0]);
        return 1;
    }
    std::string connect = "DRIVER=" + driver + ";Database=" + tmp;
    DbEnv env;
    DbConn dbc;
    std::string error;
    if (!DbOpen(connect.c_str(), &env, &dbc, &error)) {
        fprintf(stderr, "%s: cannot open %s: %s\n", argv[0], tmp.c_str(), error.c_str());
        return 1;
    }
    bool ok = CreateTemplateTables(env, dbc, &error);
    DbClose(env, dbc);
    FreeTestModel();
    if (!ok || !PlatformReplaceFile(tmp.c_str(), file.c_str())) {
        fprintf(stderr, "%s: %s\n", argv[0], ok ? "cannot replace the target" : error.c_str());
        PlatformDeleteFile(tmp.c_str());
        return 1;
    }
    printf("template test database written: %s\n", file.c_str());
    return 0;
}
