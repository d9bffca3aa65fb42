// Stands in for another running copy of the program: takes the lock file named on the command
// line, says "locked" on stdout, and holds it until its stdin closes or it is killed.
#include <QCoreApplication>
#include <QLockFile>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: lockholder <lock file>\n");
        return 2;
    }
    QLockFile lock(QString::fromLocal8Bit(argv[1]));
    if (!lock.tryLock(0)) {
        std::fprintf(stderr, "lockholder: cannot take %s (error %d)\n", argv[1], int(lock.error()));
        return 1;
    }
    std::printf("locked\n");
    std::fflush(stdout);
    // Ends with its parent: a test that dies closes our stdin and we let go of the lock.
    while (std::getchar() != EOF) {
    }
    return 0;
}
