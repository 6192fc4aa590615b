// Another program on the bench: holds a serial device open (with exclusive
// use when asked), prints "held", and lets go when its standard input ends.
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

int main(int argc, char **argv)
{
    if (argc < 2)
        return 2;
    const int fd = ::open(argv[1], O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        std::perror(argv[1]);
        return 1;
    }
    if (argc > 2 && std::strcmp(argv[2], "exclusive") == 0 && ::ioctl(fd, TIOCEXCL) != 0) {
        std::perror("TIOCEXCL");
        return 1;
    }
    std::puts("held");
    std::fflush(stdout);
    char c;
    while (::read(0, &c, 1) > 0) {
    }
    return 0;
}
