/* Writes a pcapng capture as the appliance does, for the time-window
 * benchmark: big-endian, one interface of nanoseconds, a 1000-byte packet
 * every 100 microseconds from a fixed start, until the file holds BYTES.
 * With --holes, two blocks of 2.5 GiB whose bodies are holes in a sparse
 * file come first: a capture of BYTES plus 5 GiB that costs no disk.
 *
 * usage: make-capture FILE BYTES [--holes]
 * Prints the Unix seconds of the first and the last packet. */
#define _FILE_OFFSET_BITS 64
#include <fcntl.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

enum { kPacketBytes = 1000, kBlockBytes = 32 + kPacketBytes };
static const uint64_t kStartNanos = 1796718600ull * 1000000000ull;
static const uint64_t kStepNanos = 100000;

static unsigned char *put32(unsigned char *at, uint32_t value) {
  at[0] = (unsigned char)(value >> 24);
  at[1] = (unsigned char)(value >> 16);
  at[2] = (unsigned char)(value >> 8);
  at[3] = (unsigned char)value;
  return at + 4;
}

static int write_all(int fd, const unsigned char *bytes, size_t count) {
  while (count > 0) {
    ssize_t wrote = write(fd, bytes, count);
    if (wrote <= 0) return -1;
    bytes += wrote;
    count -= (size_t)wrote;
  }
  return 0;
}

int main(int argc, char **argv) {
  if (argc < 3) {
    fprintf(stderr, "usage: make-capture FILE BYTES [--holes]\n");
    return 2;
  }
  const uint64_t bytes = strtoull(argv[2], NULL, 10);
  const int holes = argc > 3 && strcmp(argv[3], "--holes") == 0;
  const int fd = open(argv[1], O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (fd < 0) {
    perror(argv[1]);
    return 1;
  }
  unsigned char head[64], *at = head;
  /* Section header: type, length 28, byte-order mark, version 1.0, length -1. */
  at = put32(put32(put32(at, 0x0A0D0D0A), 28), 0x1A2B3C4D);
  at = put32(at, 0x00010000);
  at = put32(put32(at, 0xffffffff), 0xffffffff);
  at = put32(at, 28);
  /* Interface: Ethernet, snaplen 65535, if_tsresol 9 (nanoseconds). */
  at = put32(put32(at, 1), 32);
  at = put32(put32(at, 0x00010000), 65535);
  at = put32(at, 0x00090001);
  at = put32(at, 0x09000000);
  at = put32(put32(at, 0), 32);
  if (write_all(fd, head, (size_t)(at - head)) != 0) return 1;
  if (holes) {
    const uint32_t hole = 2560u * 1024 * 1024;
    for (int i = 0; i < 2; ++i) {
      unsigned char mark[8];
      put32(put32(mark, 0x40000BAD), hole);
      off_t end = lseek(fd, 0, SEEK_CUR) + hole;
      if (write_all(fd, mark, 8) != 0 || lseek(fd, end - 4, SEEK_SET) < 0) return 1;
      put32(mark, hole);
      if (write_all(fd, mark, 4) != 0) return 1;
    }
  }
  static unsigned char block[kBlockBytes * 64];
  uint64_t packets = bytes / kBlockBytes;
  for (uint64_t i = 0; i < packets;) {
    size_t fill = 0;
    for (; fill < sizeof block && i < packets; fill += kBlockBytes, ++i) {
      const uint64_t t = kStartNanos + i * kStepNanos;
      unsigned char *p = block + fill;
      p = put32(put32(put32(p, 6), kBlockBytes), 0);
      p = put32(put32(p, (uint32_t)(t >> 32)), (uint32_t)t);
      p = put32(put32(p, kPacketBytes), kPacketBytes);
      memset(p, (int)(i & 0xff), kPacketBytes);
      put32(p + kPacketBytes, kBlockBytes);
    }
    if (write_all(fd, block, fill) != 0) return 1;
  }
  close(fd);
  const uint64_t last = kStartNanos + (packets ? packets - 1 : 0) * kStepNanos;
  printf("%llu.%09llu %llu.%09llu\n", (unsigned long long)(kStartNanos / 1000000000),
         (unsigned long long)(kStartNanos % 1000000000), (unsigned long long)(last / 1000000000),
         (unsigned long long)(last % 1000000000));
  return 0;
}
