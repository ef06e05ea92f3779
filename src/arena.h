// SPDX-License-Identifier: MIT
// A table's record storage: records carved in order from large zero-filled blocks.
//
// A table keeps two arenas, one for its row records and one for the rows'
// cells (each row's in one piece, growing cell by cell), so that the rows lie
// dense in memory whatever order a sort links them in. Nothing is freed
// record by record: removing the rows frees the blocks, newest first. Blocks
// start at 64 KiB and double up to 4 MiB; a record too large for the next
// block gets a block of its own, which goes behind the current block so that
// its free space stays in use, and a row's cells that outgrow the current
// block move to a new one (arena_extend). Blocks of 2 MiB and more are backed
// by huge pages where the system offers them (Linux): filling a million rows
// then costs 15,000 page faults instead of 28,000, whose handling took a third
// of the fill, and the records cost far fewer TLB misses when a sort has
// scattered the rows. They still come from the allocator, which reuses them
// for the next table. Larger blocks fault less still, but a block the
// allocator takes from its heap is cleared whole, so the last one would hold
// its whole size resident (16 MiB blocks cost a program 20 MB more at its
// peak than these).
#ifndef TABULIX_ARENA_H
#define TABULIX_ARENA_H

#include <cstddef>
#include <cstdint>

// The header in front of every block. Its size keeps the records behind it
// aligned as a block from calloc is.
struct alignas(8) arena_block {
  arena_block* older;  // block allocated before this one, or null
  char* end;           // end of the block's records that were handed out
};

// Every record starts at a multiple of 4 bytes: the cells of a row lie back
// to back at that alignment (their numbers are read through memcpy). Records
// whose size is a multiple of 8, as the row records are, stay 8-aligned.
constexpr size_t arena_alignment = 4;

// Sizes of the regular blocks, the allocator's bookkeeping included: the
// request leaves it room, so that a block the allocator maps by itself takes
// whole pages and no more.
constexpr size_t arena_first_block = size_t{64} * 1024;
constexpr size_t arena_last_block = size_t{4} * 1024 * 1024;
constexpr size_t arena_allocator_share = 32;

// The smallest block worth huge pages: the size of one (x86-64, AArch64).
constexpr size_t arena_huge_block = size_t{2} * 1024 * 1024;

// Larger records are refused as a failed allocation: no block could hold them.
constexpr size_t arena_max_record = SIZE_MAX / 2;

struct arena {
  arena_block* newest;   // every block, newest first; null before the first record
  arena_block* current;  // the regular block records are carved from, or null
  char* free;            // first free byte of the current block
  char* end;             // end of the current block
  size_t next_block;     // size of the next regular block; 0 before the first
};

// Carves a record of `size` bytes (rounded) from a new block; for arena_carve only.
void* arena_carve_from_new_block(arena& a, size_t size) noexcept;

// A zero-filled record of at least `bytes` bytes, aligned to arena_alignment;
// null when a block could not be allocated, and then the arena is unchanged.
inline void* arena_carve(arena& a, size_t bytes) noexcept {
  if (bytes > arena_max_record) return nullptr;
  const size_t size = (bytes + (arena_alignment - 1)) & ~(arena_alignment - 1);
  if (size > static_cast<size_t>(a.end - a.free)) return arena_carve_from_new_block(a, size);
  void* record = a.free;
  a.free += size;
  return record;
}

// Moves the record of `kept` bytes at `start` to a new block with room for
// `size` more bytes behind it, which it carves; for arena_extend only.
char* arena_extend_in_new_block(arena& a, const char* start, size_t kept, size_t size) noexcept;

// Carves `bytes` more onto the end of the record that starts at `start` and
// ends at the free pointer (null: a new record), zero-filled. When the current
// block has no room, the record moves to a new block first (its bytes in the
// old one stay behind, unused), which becomes the current block even when the
// record is too large for a regular one, so that the record can grow on.
// Gives where the record starts now; null when a block could not be
// allocated, and then the arena and the record are unchanged.
inline char* arena_extend(arena& a, char* start, size_t bytes) noexcept {
  if (bytes > arena_max_record) return nullptr;
  const size_t size = (bytes + (arena_alignment - 1)) & ~(arena_alignment - 1);
  const size_t kept = start != nullptr ? static_cast<size_t>(a.free - start) : 0;
  if (size > static_cast<size_t>(a.end - a.free)) {
    return arena_extend_in_new_block(a, start, kept, size);
  }
  char* record = a.free - kept;
  a.free += size;
  return record;
}

// Frees every block and empties the arena.
void arena_release(arena& a) noexcept;

// Gives back every record carved since the arena was `mark` (a copy taken
// then): frees the blocks allocated since, zeroes the records carved from the
// block that was current then, and leaves the arena as it was at the mark.
void arena_rewind(arena& a, const arena& mark) noexcept;

// The first record of a block.
inline char* arena_records(arena_block* b) noexcept { return reinterpret_cast<char*>(b + 1); }

// Calls visit(record) for every record of an arena that holds only records of
// one type, in the order they lie in memory, block by block.
template <typename Record, typename Visit>
void arena_visit(const arena& a, Visit visit) noexcept {
  static_assert(sizeof(Record) % arena_alignment == 0, "records must lie back to back");
  for (arena_block* b = a.newest; b != nullptr; b = b->older) {
    const char* end = b == a.current ? a.free : b->end;
    for (char* at = arena_records(b); at < end; at += sizeof(Record)) {
      visit(*reinterpret_cast<Record*>(at));
    }
  }
}

// arena_visit that also calls look(record) for the record `distance` records
// ahead of the visited one in the same block, when there is one, so that the
// visit may request what that record points to before it gets there.
template <typename Record, typename Look, typename Visit>
void arena_visit_ahead(const arena& a, size_t distance, Look look, Visit visit) noexcept {
  static_assert(sizeof(Record) % arena_alignment == 0, "records must lie back to back");
  const size_t gap = distance * sizeof(Record);
  for (arena_block* b = a.newest; b != nullptr; b = b->older) {
    const char* end = b == a.current ? a.free : b->end;
    for (char* at = arena_records(b); at < end; at += sizeof(Record)) {
      if (gap < static_cast<size_t>(end - at)) look(*reinterpret_cast<Record*>(at + gap));
      visit(*reinterpret_cast<Record*>(at));
    }
  }
}

#endif  // TABULIX_ARENA_H
