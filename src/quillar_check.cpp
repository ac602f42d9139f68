// quillar-check: the recordings of a folder judged in one command (see check/folder_check.h).
#include <QCoreApplication>
#include <cstdio>

#include "check/folder_check.h"

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    return quillar::RunFolderCheck(QCoreApplication::arguments().mid(1), stdout, stderr);
}
