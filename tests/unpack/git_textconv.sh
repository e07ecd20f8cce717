#!/bin/sh
# Runs the README's git set-up in a fresh repository and checks that git diff
# shows a changed value of a MOB file as readable text, and that difftool
# runs mobtool diff.
#   git_textconv.sh MOBTOOL README EXAMPLES
set -eu
mobtool=$1 readme=$2 examples=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
ln -s "$mobtool" "$work/bin/mobtool"
PATH="$work/bin:$PATH"
export GIT_CONFIG_NOSYSTEM=1 HOME="$work" GIT_AUTHOR_NAME=t GIT_AUTHOR_EMAIL=t@t GIT_COMMITTER_NAME=t GIT_COMMITTER_EMAIL=t@t

cd "$work" && mkdir repo && cd repo
git init -q
cp "$examples/sample.mob" "$examples/mob_desc.txt" .
sed -n '/<!-- git-setup -->/,/<!-- \/git-setup -->/p' "$readme" | sed -e '1d' -e '$d' -e 's/^    //' > setup.sh
sh -e setup.sh
git add sample.mob mob_desc.txt .gitattributes
git commit -qm sample

# FLAGS of Captain Brann, node key 10: 3 becomes 77.
printf 77 > ../flags.txt
mobtool apply sample.mob 10 ../flags.txt sample.mob >/dev/null
git diff > ../diff.txt
grep -qx -- '-                  "text": "3"' ../diff.txt
grep -qx -- '+                  "text": "77"' ../diff.txt
[ "$(grep -c '^[-+] ' ../diff.txt)" = 2 ]

git difftool -y --tool=mob > ../difftool.txt
grep -qx -- '~ 00001000:0/00001001:0/00001002:0/00002001:0 (FLAGS) 3 -> 77' ../difftool.txt
