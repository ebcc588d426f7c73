#!/usr/bin/env bash
# Runs Scrivola and peer tools on the same generated inputs in one run and prints ratios.
# usage: bench/compare.sh [SECTION...]   sections: inputs render manuals window startup view thumbs images browse compress pages
# (default: all but inputs)
# The manuals section runs on large real documents that Debian's documentation packages install
# (octave-doc, texlive-pictures-doc); a file that is absent is skipped.
set -euo pipefail
ROOT="$(cd "$(dirname "$0")/.." && pwd)"
BUILD="${SCRIVOLA_BUILD:-$ROOT/build}"
OUT="$ROOT/bench/out"
CLI="$BUILD/tools/scrivola-cli"
APP="$BUILD/src/app/scrivola"
MEASURE="python3 $ROOT/bench/measure.py"
mkdir -p "$OUT"

source "$ROOT/scripts/common.sh"
SCRIVOLA_PACKAGES=(poppler-utils qpdf ghostscript groff-base libvips-tools imagemagick libheif-examples)
scrivola_install_packages
[ -x "$CLI" ] || cmake --build "$BUILD"

inputs() {
  [ -f "$OUT/text1000.pdf" ] || python3 "$ROOT/bench/gen_text_pdf.py" 1000 "$OUT/text1000.pdf"
  if [ ! -f "$OUT/manual1000.pdf" ]; then
    python3 "$ROOT/bench/gen_typeset_pdf.py" 2100 | groff -man -Tps | ps2pdf - "$OUT/manual1000.pdf"
  fi
  if [ ! -f "$OUT/photo24mp.jpg" ]; then
    convert -size 6000x4000 -seed 7 plasma:fractal -blur 0x1 -quality 92 "$OUT/photo24mp.jpg"
  fi
  if [ ! -f "$OUT/photo12mp.heic" ]; then
    convert "$OUT/photo24mp.jpg" -resize 4240x2832! "$OUT/photo12mp.png"
    heif-enc -q 80 -o "$OUT/photo12mp.heic" "$OUT/photo12mp.png" >/dev/null
  fi
  if [ ! -d "$OUT/folder200" ]; then
    mkdir -p "$OUT/folder200"
    convert "$OUT/photo24mp.jpg" -resize 4000x3000 -quality 85 "$OUT/folder200/base.jpg"
    for i in $(seq -w 1 200); do cp "$OUT/folder200/base.jpg" "$OUT/folder200/img$i.jpg"; done
    rm "$OUT/folder200/base.jpg"
  fi
  if [ ! -d "$OUT/photos24" ]; then
    # 24 different photos, alternately 24 MP (6000 x 4000) and 16 MP (4896 x 3264).
    mkdir -p "$OUT/photos24"
    local i n gain
    for i in $(seq -w 1 24); do
      n=$((10#$i)); gain="0.$((80 + n)) 1.0 0.95"
      if [ $((n % 2)) = 1 ]; then
        vips linear "$OUT/photo24mp.jpg" "$OUT/photos24/photo$i.jpg[Q=88]" "$gain" "$((n * 3)) 4 9" --uchar
      else
        vips linear "$OUT/photo24mp.jpg" "$OUT/photos24/tmp.v" "$gain" "$((n * 3)) 8 2" --uchar
        vips resize "$OUT/photos24/tmp.v" "$OUT/photos24/photo$i.jpg[Q=88]" 0.816
      fi
    done
    rm -f "$OUT/photos24/tmp.v"
  fi
  if [ ! -f "$OUT/scanned50.pdf" ]; then
    # 50 Letter pages scanned at 300 dpi (2550 x 3300 pixels): a different crop of the photo on each page.
    mkdir -p "$OUT/scan-pages"
    for i in $(seq -w 1 50); do
      convert "$OUT/photo24mp.jpg" -crop "3000x3880+$((10#$i * 55))+$((10#$i * 2))" +repage -resize 2550x3300! \
        -attenuate 0.3 +noise Gaussian -quality 85 -density 300 "$OUT/scan-pages/page$i.jpg"
    done
    python3 "$ROOT/bench/gen_scanned_pdf.py" "$OUT/scanned50.pdf" "$OUT"/scan-pages/page*.jpg
  fi
}

section_render() {
  echo "== open + render page 1 at 150 dpi, 1,000-page text PDF (whole process)"
  $MEASURE --name "render p1 150dpi" \
    --ours "$CLI render $OUT/text1000.pdf --page 1 --dpi 150 -o $OUT/ours-p1.png" \
    --peer "pdftoppm -r 150 -f 1 -l 1 -png $OUT/text1000.pdf $OUT/peer-p1"
  $MEASURE --name "render p500 150dpi" \
    --ours "$CLI render $OUT/text1000.pdf --page 500 --dpi 150 -o $OUT/ours-p500.png" \
    --peer "pdftoppm -r 150 -f 500 -l 500 -png $OUT/text1000.pdf $OUT/peer-p500"
}

# Real typeset manuals: pdfTeX and LuaTeX output with Type 1 fonts, links and object streams.
MANUALS=(/usr/share/doc/octave/octave.pdf /usr/share/doc/texlive-doc/generic/pgf/pgfmanual.pdf)

# "octave (1158 pages)": the name by which a PDF's figures are shown.
pdf_label() { echo "$(basename "$1" .pdf) ($(pdfinfo "$1" | awk '/^Pages:/ {print $2}') pages)"; }

# Calls "$@" PDF LABEL for the 1,000-page manual and each real manual that is installed.
for_each_manual() {
  local pdf
  for pdf in "$OUT/manual1000.pdf" "${MANUALS[@]}"; do
    [ -f "$pdf" ] || { echo "(skipped: $pdf is not installed)"; continue; }
    "$@" "$pdf" "$(pdf_label "$pdf")"
  done
}

section_manuals() {
  local pdf name found=0
  for pdf in "${MANUALS[@]}"; do
    [ -f "$pdf" ] || { echo "(skipped: $pdf is not installed)"; continue; }
    found=1
    name="$(pdf_label "$pdf")"
    echo "== $name: open + render page 1 at 150 dpi, info, search"
    $MEASURE --name "$name: render p1 150dpi" \
      --ours "$CLI render $pdf --page 1 --dpi 150 -o $OUT/ours-manual-p1.png" \
      --peer "pdftoppm -r 150 -f 1 -l 1 -png $pdf $OUT/peer-manual-p1"
    # info prints the size of every page, as pdfinfo does with a page range.
    $MEASURE --name "$name: info vs pdfinfo" --ours "$CLI info $pdf" --peer "pdfinfo -f 1 -l 99999 $pdf"
    $MEASURE --name "$name: search matrix" --runs 3 \
      --ours "$CLI search $pdf matrix" --peer "pdftotext $pdf - | grep -ci matrix"
  done
  [ "$found" = 1 ] || echo "(no manual installed: apt-get install octave-doc texlive-pictures-doc)"
}

section_window() {
  echo "== first window with the 1,000-page PDF, page 1 painted (offscreen), then quit"
  $MEASURE --name "window first paint" --runs 3 \
    --ours "QT_QPA_PLATFORM=offscreen SCRIVOLA_EXIT_AFTER_FIRST_PAINT=1 $APP $OUT/text1000.pdf"
}

section_startup() {
  [ -x "$BUILD/bench/view_bench" ] || cmake --build "$BUILD" --target view_bench
  echo "== launch until the first window is painted (offscreen), beside a bare Qt widget program; medians of 9"
  echo "   goal: startup_ratio <= 1.5 (startup_ms / bare_qt_ms); startup_pdf_ms with the 1,000-page PDF's first page"
  "$BUILD/bench/view_bench" --startup "$OUT/manual1000.pdf" 2>/dev/null | sed 's/^/   /'
}

# view_bench's figures for its arguments, each the median of three runs (in the order of its name).
view_figures() {
  local i
  for i in 1 2 3; do "$BUILD/bench/view_bench" "$@" 2>/dev/null; done | sort -k1,1 -k2,2n |
    awk '$1 != key { if (n) print "   " key, v[int((n + 1) / 2)]; key = $1; n = 0 } { v[++n] = $2 }
         END { if (n) print "   " key, v[int((n + 1) / 2)] }'
}

view_on() {
  echo "== $2 in the page view (offscreen): first page, scrolling 100 pages, page 1 at 10x"
  echo "   goals: first_page_ms < 250, scroll_max_stall_ms < 50, zoom10_peak_mb and peak_mb < 200"
  view_figures "$1"
  $MEASURE --name "$2: window first paint vs pdftoppm p1" --runs 5 \
    --ours "QT_QPA_PLATFORM=offscreen SCRIVOLA_EXIT_AFTER_FIRST_PAINT=1 $APP $1" \
    --peer "pdftoppm -r 150 -f 1 -l 1 -png $1 $OUT/peer-view-p1"
}

section_view() {
  [ -x "$BUILD/bench/view_bench" ] || cmake --build "$BUILD" --target view_bench
  for_each_manual view_on
}

thumbs_on() {
  echo "== $2 in the page sidebar (offscreen): first screen of thumbnails, scrolling to the last page"
  echo "   goals: sidebar_first_ms < 300, thumbs_max_stall_ms < 50, thumbs_peak_mb < 356 (cache + 100)"
  view_figures --thumbnails "$1"
  $MEASURE --name "$2: peer pdftoppm, the first 4 pages at 280 px" --runs 3 \
    --ours "pdftoppm -scale-to 280 -f 1 -l 4 -png $1 $OUT/peer-thumbs"
}

section_thumbs() {
  [ -x "$BUILD/bench/view_bench" ] || cmake --build "$BUILD" --target view_bench
  for_each_manual thumbs_on
}

section_images() {
  echo "== decode large images in process (ours, Google Benchmark) beside vips copy IN OUT.v (whole process)"
  SCRIVOLA_BENCH_DIR="$OUT" "$BUILD/bench/image_open_bench"
  $MEASURE --name "peer: vips copy 24 MP JPEG" --runs 5 --ours "vips copy $OUT/photo24mp.jpg $OUT/peer-24.v"
  $MEASURE --name "peer: vips copy 12 MP HEIC" --runs 3 --ours "vips copy $OUT/photo12mp.heic $OUT/peer-12.v"
}

section_browse() {
  [ -x "$BUILD/bench/view_bench" ] || cmake --build "$BUILD" --target view_bench
  echo "== browsing 24 photos of 16 and 24 MP in the image canvas (offscreen): first image, arrow steps, held key"
  echo "   goals: next_image_ms < 60, images_peak_mb < 400"
  view_figures --images "$OUT/photos24"
  echo "== a folder of 200 photos of 10.7 MP"
  echo "   goal: images_peak_mb < 400"
  view_figures --images "$OUT/folder200"
  echo "== peers on one 24 MP photo (whole process): full decode, and shrink-on-load to the view size"
  $MEASURE --name "peer: vips copy 24 MP JPEG" --runs 5 --ours "vips copy $OUT/photos24/photo01.jpg $OUT/peer-browse.v"
  $MEASURE --name "peer: vipsthumbnail 24 MP JPEG to 1100 px" --runs 5 \
    --ours "vipsthumbnail $OUT/photos24/photo01.jpg -s 1100 -o $OUT/peer-browse-thumb.jpg"
}

size_of() { stat -c %s "$1"; }

section_compress() {
  local in="$OUT/scanned50.pdf"
  echo "== compress a 50-page scanned PDF (300 dpi photos, $(size_of "$in") bytes)"
  $MEASURE --name "rasterise 150 dpi q0.6 vs gs /ebook" --runs 1 --warmup 0 \
    --ours "$CLI compress $in --rasterize --dpi 150 --quality 0.6 -o $OUT/ours-raster.pdf" \
    --peer "gs -q -dNOPAUSE -dBATCH -dSAFER -sDEVICE=pdfwrite -dPDFSETTINGS=/ebook -sOutputFile=$OUT/peer-ebook.pdf $in"
  echo "   sizes: ours $(size_of "$OUT/ours-raster.pdf") | gs /ebook $(size_of "$OUT/peer-ebook.pdf") | input $(size_of "$in")"
  $MEASURE --name "redraw q0.6 vs qpdf recompress" --runs 1 --warmup 0 \
    --ours "$CLI compress $in --quality 0.6 -o $OUT/ours-redraw.pdf" \
    --peer "qpdf --recompress-flate --object-streams=generate $in $OUT/peer-qpdf.pdf"
  echo "   sizes: ours $(size_of "$OUT/ours-redraw.pdf") | qpdf $(size_of "$OUT/peer-qpdf.pdf") | input $(size_of "$in")"
  [ -x "$BUILD/bench/view_bench" ] || cmake --build "$BUILD" --target view_bench
  [ -f "$OUT/manual300.pdf" ] || $CLI export "$OUT/manual1000.pdf" --pages 1-300 -o "$OUT/manual300.pdf"
  echo "== the compression sheet on a 300-page manual (offscreen): the quality slider dragged, redrawing and rasterising"
  echo "   goals: estimate_ms < 1000, compress_max_stall_ms < 50"
  view_figures --compress "$OUT/manual300.pdf"
  echo "== re-encode a 24-megapixel JPEG at quality 0.7"
  $MEASURE --name "convert 24 MP JPEG q0.7 vs vips Q=70" --runs 5 \
    --ours "$CLI convert $OUT/photo24mp.jpg --format jpeg --quality 0.7 -o $OUT/ours-24.jpeg" \
    --peer "vips copy $OUT/photo24mp.jpg '$OUT/peer-24.jpeg[Q=70]'"
  echo "   sizes: ours $(size_of "$OUT/ours-24.jpeg") | vips $(size_of "$OUT/peer-24.jpeg")"
  echo "== a 24-megapixel JPEG: header only, and encoded as HEIC"
  $MEASURE --name "info 24 MP JPEG vs vipsheader" --ours "$CLI info $OUT/photo24mp.jpg" --peer "vipsheader $OUT/photo24mp.jpg"
  $MEASURE --name "convert 24 MP JPEG to HEIC q0.8 vs heif-enc" --runs 1 --warmup 0 \
    --ours "$CLI convert $OUT/photo24mp.jpg --format heic --quality 0.8 -o $OUT/ours-24.heic" \
    --peer "heif-enc -q 80 -o $OUT/peer-24.heic $OUT/photo24mp.jpg"
  echo "   sizes: ours $(size_of "$OUT/ours-24.heic") | heif-enc $(size_of "$OUT/peer-24.heic")"
}

# Search, rotate and export on one PDF: $1 its path, $2 a short label.
pages_on() {
  local pdf="$1" label="$2" count
  count=$(pdfinfo "$pdf" | awk '/^Pages:/ {print $2}')
  echo "== $label: search for \"matrix\" (whole process), same hit count"
  local ours_hits peer_hits
  ours_hits=$("$CLI" search "$pdf" matrix | tail -n 1 | sed 's/^hits: //')
  peer_hits=$(pdftotext "$pdf" - | grep -oi matrix | wc -l)
  echo "hits: ours $ours_hits, pdftotext | grep -oi | wc -l: $peer_hits"
  $MEASURE --name "$label: search matrix" \
    --ours "$CLI search $pdf matrix" \
    --peer "pdftotext $pdf - | grep -ci matrix"
  echo "== $label: rotate all $count pages and save"
  $MEASURE --name "$label: rotate all pages" \
    --ours "$CLI rotate $pdf --pages 1-$count --by 90 -o $OUT/ours-rotated.pdf" \
    --peer "qpdf --rotate=+90 $pdf $OUT/peer-rotated.pdf"
  echo "sizes: input $(size_of "$pdf"), ours $(size_of "$OUT/ours-rotated.pdf"), qpdf $(size_of "$OUT/peer-rotated.pdf") bytes"
  echo "== $label: export 100 pages into a new PDF"
  $MEASURE --name "$label: export pages 1-100" \
    --ours "$CLI export $pdf --pages 1-100 -o $OUT/ours-export.pdf" \
    --peer "qpdf $pdf --pages $pdf 1-100 -- $OUT/peer-export.pdf"
  echo "sizes: ours $(size_of "$OUT/ours-export.pdf"), qpdf $(size_of "$OUT/peer-export.pdf") bytes"
}

section_pages() {
  pages_on "$OUT/text1000.pdf" "plain 1,000 pages"
  pages_on "$OUT/manual1000.pdf" "typeset manual"
}

section_inputs() { echo "inputs are in $OUT"; }

inputs
sections=("$@")
[ ${#sections[@]} -gt 0 ] || sections=(render manuals window startup view thumbs images browse compress pages)
for s in "${sections[@]}"; do "section_$s"; done
