#!/usr/bin/env bash
# Checks what a shipped Windows program carries, with the cross toolchain's objdump:
#
#   examine_exe.sh OBJDUMP VERSION stripped|debug EXE...
#
# For each EXE: an application manifest (resource 24, ID 1) that asks for asInvoker without
# UI access, is long-path aware, lists Windows 10 and sets no activeCodePage; a version resource
# (resource 16, ID 1) naming the file, the product and VERSION; Windows 6.1 as the oldest
# system and subsystem in the header; and, when "stripped" (release builds: what ships), neither
# debug sections nor symbols.
set -uo pipefail

objdump=$1 version=$2 build=$3
shift 3
failed=0
versionInfo=$(mktemp)
trap 'rm -f "$versionInfo"' EXIT

fail() {
  echo "FAILED: $exe: $*"
  failed=1
}

# resource EXE TYPE: the bytes of the first resource of TYPE (as objdump prints it, e.g.
# 0x000018,) with ID 1, on stdout.
resource() {
  local exe=$1 type=$2
  # objdump -p prints the resource tree depth first: a type entry, its name entries, their
  # language entries and leaves, each level indented two more places.
  local leaf
  leaf=$("$objdump" -p "$exe" | awk -v type="$type" '
    /Resource Directory section:/ { inside = 1 }
    !inside { next }
    /^[0-9a-f]+   Entry: ID: / { currentType = $4 }
    /^[0-9a-f]+     Entry: ID: / { currentName = $4 }
    /Leaf: Addr: / && currentType == type && currentName == "0x000001," {
      gsub(/,/, ""); print $4, $6; exit
    }')
  [ -n "$leaf" ] || return 1
  local rva=$((${leaf% *})) size=$((${leaf#* }))
  # The leaf holds a relative address: find the file offset through the .rsrc section.
  local base section
  base=$("$objdump" -p "$exe" | awk '$1 == "ImageBase" { print $2 }')
  section=$("$objdump" -h "$exe" | awk '$2 == ".rsrc" { print $4, $6 }')
  local vma=$((0x${section% *})) offset=$((0x${section#* }))
  local start=$((rva - (vma - 0x$base) + offset))
  dd if="$exe" iflag=skip_bytes,count_bytes skip="$start" count="$size" status=none
}

# The value that follows KEY in a version resource's strings (UTF-16, each ending in NUL).
version_string() {
  iconv -c -f UTF-16LE -t UTF-8 | tr '\0' '\n' |
    awk -v key="$1" 'found && length($0) > 0 { print; exit }
                     substr($0, length($0) - length(key) + 1) == key { found = 1 }'
}

for exe in "$@"; do
  name=$(basename "$exe")
  headers=$("$objdump" -p "$exe") || { fail "objdump cannot read it"; continue; }

  manifest=$(resource "$exe" 0x000018,) || fail "no application manifest (resource 24, ID 1)"
  grep -Eq '<requestedExecutionLevel +level="asInvoker" +uiAccess="false" */>' \
    <<<"$manifest" || fail "the manifest does not request asInvoker without UI access"
  grep -Eq '<([A-Za-z0-9]+:)?activeCodePage' <<<"$manifest" && fail "the manifest sets activeCodePage"
  grep -Eq '<longPathAware[^>]*>true</longPathAware>' <<<"$manifest" ||
    fail "the manifest is not long-path aware"
  grep -q '<supportedOS Id="{8e0f7a12-bfb3-4fe8-b9a5-48fd50a15a9a}"/>' <<<"$manifest" ||
    fail "the manifest does not list Windows 10 and 11"

  if resource "$exe" 0x000010, >"$versionInfo"; then
    for pair in "OriginalFilename=$name" "FileVersion=$version" "ProductVersion=$version" \
                "ProductName=fxinstall"; do
      actual=$(version_string "${pair%%=*}" <"$versionInfo")
      [ "$actual" == "${pair#*=}" ] ||
        fail "version resource: ${pair%%=*} is \"$actual\", not \"${pair#*=}\""
    done
  else
    fail "no version resource (resource 16, ID 1)"
  fi

  for field in MajorOSystemVersion:6 MinorOSystemVersion:1 MajorSubsystemVersion:6 \
               MinorSubsystemVersion:1; do
    actual=$(awk -v f="${field%:*}" '$1 == f { print $2 }' <<<"$headers")
    [ "$actual" == "${field#*:}" ] || fail "${field%:*} is $actual, not ${field#*:}"
  done

  [ "$build" == stripped ] || continue
  debug=$("$objdump" -h "$exe" | awk '$2 ~ /^\.debug/ { printf "%s ", $2 }')
  [ -z "$debug" ] || fail "debug sections: $debug"
  grep -q 'symbols stripped' <<<"$headers" || fail "it carries a symbol table"
done

[ "$failed" -eq 0 ] && echo "checked: $*"
exit "$failed"
