# shellcheck shell=bash
# Checks shared by the installed-tree test and the package test; sourced.
# Each reports through the caller's `check DESCRIPTION COMMAND...`.

# check_png FILE WIDTH HEIGHT: a PNG of that size.
check_png() {
  local file=$1 width=$2 height=$3
  check "$file exists" test -s "$file" || return 0
  check "$file starts with the PNG signature" \
    test "$(head -c 8 "$file" | od -An -tx1 | tr -d ' \n')" = 89504e470d0a1a0a
  # IHDR's width and height, big-endian, at bytes 16 and 20.
  local size
  size=$(od -An -j16 -N8 -tu1 "$file" | awk '{print $1*16777216+$2*65536+$3*256+$4 "x" $5*16777216+$6*65536+$7*256+$8}')
  check "$file is ${width}x$height, not $size" test "$size" = "${width}x$height"
}

# check_no_tree_paths BINARY DIR...: the program's data and its run-time
# search path name none of the directories (the source and build trees),
# so nothing is looked for there once it is installed. Debug information may
# name them: it is never read to run. A script (zentrick-phone) is read
# whole.
check_no_tree_paths() {
  local binary=$1 dir section data
  shift
  if [ "$(head -c 4 "$binary")" != $'\x7fELF' ]; then
    for dir in "$@"; do
      check "$(basename "$binary") names $dir" sh -c '! grep -qF "$2" "$1"' - "$binary" "$dir"
    done
    return 0
  fi
  data=$(mktemp)
  for section in .rodata .data .data.rel.ro; do
    objcopy -O binary --only-section="$section" "$binary" "$data" 2>/dev/null || continue
    for dir in "$@"; do
      check "$(basename "$binary")'s $section names $dir" sh -c '! grep -qaF "$1" "$2"' - "$dir" "$data"
    done
  done
  rm -f "$data"
  for dir in "$@"; do
    check "$(basename "$binary")'s run-time path names $dir" \
      sh -c '! readelf -d "$1" | grep -E "RPATH|RUNPATH" | grep -qF "$2"' - "$binary" "$dir"
  done
}

# check_data_files PREFIX: the desktop entry, metainfo and icons under PREFIX.
check_data_files() {
  local prefix=$1 id=org.zentrick.Zentrick size
  local desktop=$prefix/share/applications/$id.desktop
  local metainfo=$prefix/share/metainfo/$id.metainfo.xml
  check "$desktop exists" test -s "$desktop"
  check "$metainfo exists" test -s "$metainfo"
  if command -v desktop-file-validate >/dev/null; then
    check "desktop-file-validate accepts $desktop" desktop-file-validate "$desktop"
  fi
  if command -v appstreamcli >/dev/null; then
    check "appstreamcli accepts $metainfo" sh -c 'appstreamcli validate --no-net "$1" >/dev/null' - "$metainfo"
  fi
  check "the desktop entry runs zentrick" grep -qx 'Exec=zentrick' "$desktop"
  check "the desktop entry names the icon" grep -qx "Icon=$id" "$desktop"
  check "the desktop entry suits phones" grep -qx 'X-Purism-FormFactor=Workstation;Mobile;' "$desktop"
  check "the metainfo launches the desktop entry" \
    grep -q "<launchable type=\"desktop-id\">$id.desktop</launchable>" "$metainfo"
  check "the metainfo declares touch" grep -q '<control>touch</control>' "$metainfo"
  check "the metainfo declares the smallest screen" grep -q '<display_length compare="ge">' "$metainfo"
  for size in 16 24 32 48 64 128 256 512; do
    check_png "$prefix/share/icons/hicolor/${size}x$size/apps/$id.png" "$size" "$size"
  done
  check "the scalable icon" grep -q '<svg' "$prefix/share/icons/hicolor/scalable/apps/$id.svg"
}

# check_tree ROOT: appstreamcli's view of a tree that holds only this
# project's files: the metainfo, and the desktop entry and icon it points at.
check_tree() {
  if command -v appstreamcli >/dev/null; then
    check "appstreamcli accepts the tree $1" sh -c 'appstreamcli validate-tree --no-net "$1" >/dev/null' - "$1"
  fi
}
