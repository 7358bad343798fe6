/* The yardstick for the program's command time through the kernel: sends
 * the commands of a drive command log (the demo's format) to an sg node one
 * after another with the same interface as the program (sg's write, poll and
 * read by pack_id), the data sent taken in order from DATA (the drive's
 * --data-out file of the program's run), and prints the sum of the commands'
 * times and the span from the first submission to the last completion.
 * Built and run by scripts/test-real-kernel.sh.
 *   sg_command_loop LOG DATA NODE */
#include <fcntl.h>
#include <poll.h>
#include <scsi/sg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <time.h>
#include <unistd.h>

static double now_ms(void) {
  struct timespec t;
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
}

int main(int argc, char** argv) {
  if (argc != 4) return 2;
  FILE* log = fopen(argv[1], "r");
  FILE* sent = fopen(argv[2], "rb");
  int fd = open(argv[3], O_RDWR | O_NONBLOCK | O_EXCL);
  if (!log || !sent || fd < 0) return perror("open"), 1;
  static unsigned char data[1 << 20], sense[32];
  char line[512], hex[64], dir[8];
  unsigned len;
  int count = 0, failed = 0;
  double total = 0, first = 0, last = 0;
  while (fgets(line, sizeof line, log)) {
    if (sscanf(line, "ha=%*u cdb=%63s dir=%7s len=%u", hex, dir, &len) != 3 || len > sizeof data) return 1;
    unsigned char cdb[16];
    int cdb_len = (int)strlen(hex) / 2;
    for (int i = 0; i < cdb_len; ++i) sscanf(hex + 2 * i, "%2hhx", &cdb[i]);
    memset(data, 0, len);
    if (!strcmp(dir, "out") && fread(data, 1, len, sent) != len) return fprintf(stderr, "short DATA\n"), 1;
    sg_io_hdr_t h = {0};
    h.interface_id = 'S';
    h.dxfer_direction = !strcmp(dir, "in") ? SG_DXFER_FROM_DEV : !strcmp(dir, "out") ? SG_DXFER_TO_DEV : SG_DXFER_NONE;
    h.cmd_len = (unsigned char)cdb_len;
    h.cmdp = cdb;
    h.dxfer_len = len;
    h.dxferp = len ? data : NULL;
    h.mx_sb_len = sizeof sense;
    h.sbp = sense;
    h.timeout = 120000;
    h.pack_id = ++count;
    double start = now_ms();
    if (count == 1) first = start;
    if (write(fd, &h, sizeof h) != sizeof h) return perror("write"), 1;
    struct pollfd p = {fd, POLLIN, 0};
    while (poll(&p, 1, -1) < 0) continue;
    if (read(fd, &h, sizeof h) != sizeof h) return perror("read"), 1;
    last = now_ms();
    total += last - start;
    failed += h.status != 0 || h.host_status != 0;
  }
  printf("%d commands (%d not GOOD): %.0f ms in all, %.0f ms from the first to the last\n", count, failed, total,
         last - first);
  return 0;
}
