#!/usr/bin/env bash
# Lists the functions a GridBridge build exports and compares them with the four it must.
set -u
export LC_ALL=C  # tool output untranslated, sort order fixed
tool=$1
lib=$2
case "$tool" in
  *objdump) found=$("$tool" -p "$lib" | awk '/\[Ordinal\/Name Pointer\] Table/{on=1; next} on && /^[ \t]*\[/{print $NF} on && /^[ \t]*$/{on=0}' | sort) ;;
  *) found=$("$tool" -D --defined-only "$lib" | awk '$2 ~ /^[TDBRVW]$/ {print $3}' | sort) ;;
esac
want=$(printf '%s\n' CloseExcel GetCell OpenExcel OpenSheet)
if [ "$found" != "$want" ]; then
  echo "exported symbols differ from the four functions:"
  echo "$found"
  exit 1
fi
echo "exports: $(echo $found)"
