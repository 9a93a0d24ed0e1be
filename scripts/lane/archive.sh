# Where the guest gets Debian from: the host's own apt sources, so that a
# machine that reaches Debian only through a mirror or a proxy builds the
# lane too. HOTFIX_LANE_MIRROR=URI uses that archive alone instead.
# shellcheck shell=bash

# The host's Debian entries for this release, one "URI SUITE" a line:
# deb822 files in sources.list.d, then one-line sources.list files.
# APT_ETC (default /etc/apt) is where they are read from.
archive_entries() {
  local codename=$1 f etc=${APT_ETC:-/etc/apt}
  if [ -n "${HOTFIX_LANE_MIRROR:-}" ]; then
    echo "$HOTFIX_LANE_MIRROR $codename"
    return
  fi
  for f in "$etc"/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    # Paragraphs of Key: value lines; a URIs or Suites field may list several.
    awk -v want="$codename" '
      function flush(  n, m, i, j, u, s) {
        if (types ~ /(^| )deb( |$)/ && enabled != "no") {
          n = split(uris, u, " "); m = split(suites, s, " ")
          for (i = 1; i <= n; i++) for (j = 1; j <= m; j++)
            if (s[j] == want || index(s[j], want "-") == 1) print u[i], s[j]
        }
        types = uris = suites = enabled = ""
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      { key = tolower($1); sub(/^[^:]*:[ \t]*/, ""); value = $0 }
      key == "types:" { types = value } key == "uris:" { uris = value }
      key == "suites:" { suites = value } key == "enabled:" { enabled = tolower(value) }
      END { flush() }' "$f"
  done
  for f in "$etc"/sources.list "$etc"/sources.list.d/*.list; do
    [ -f "$f" ] || continue
    awk -v want="$codename" '
      $1 == "deb" {
        i = 2
        if ($i ~ /^\[/) { while ($i !~ /\]$/ && i < NF) i++; i++ }
        if ($(i+1) == want || index($(i+1), want "-") == 1) print $i, $(i+1)
      }' "$f"
  done
}

# The URI that serves the release itself, for debootstrap.
archive_main() {
  archive_entries "$1" | awk -v want="$1" '$2 == want { print $1; exit }'
}

# apt's proxy setting on the host, if any (empty otherwise).
archive_proxy() {
  local proxy=
  eval "$(apt-config shell proxy Acquire::http::Proxy 2>/dev/null)" || true
  echo "$proxy"
}
