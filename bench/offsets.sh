# Sourced by the comparisons: sets im_args to ImageMagick's form of the offsets $red $green
# $blue. ImageMagick Q16 works in 0..65535: one 8-bit step is 257.
im_args=()
for pair in "R $red" "G $green" "B $blue"; do
  read -r channel value <<<"$pair"
  if [ "$value" -ge 0 ]; then
    im_args+=(-channel "$channel" -evaluate add $((value * 257)))
  else
    im_args+=(-channel "$channel" -evaluate subtract $((-value * 257)))
  fi
done
