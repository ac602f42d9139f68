// quillar-export: a folder's takes exported in one command (see export/export_command.h).
#include <QCoreApplication>
#include <cstdio>

#include "export/export_command.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return quillar::RunFolderExport(QCoreApplication::arguments().mid(1), stdout, stderr);
}
