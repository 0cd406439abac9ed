# Sourced by the scripts that register binfmt_misc handlers for 32-bit x86
# programs in a private user namespace: the first 20 bytes of the ELF header of
# an i386 executable or shared object (class 32-bit, little-endian, version 1,
# type 2 or 3, machine 3), and the mask of what to compare, in binfmt_misc's
# escaped form.
# shellcheck shell=bash
i386_magic='\x7f\x45\x4c\x46\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00'
i386_mask='\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'
# binfmt_ready: mounts this namespace's own binfmt_misc instance.
binfmt_ready() {
  mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
}
# binfmt_private_possible: succeeds where a new user namespace gets a
# binfmt_misc instance of its own (Linux 6.7 or later).
binfmt_private_possible() {
  unshare --user --map-root-user --mount -- \
    sh -c 'mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc' 2>/dev/null
}
