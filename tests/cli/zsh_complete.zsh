# What zsh's completion offers for a command line, driven on a pseudo terminal.
#
#   zsh zsh_complete.zsh COMPLETIONS_FOLDER LINE
zmodload zsh/zpty
zpty shell zsh -f -i
zpty -w shell "PROMPT='> '; fpath=($1 \$fpath); autoload -U compinit; compinit -u -D"
zpty -w -n shell "$2"$'\t'
local offered= chunk
for i in {1..30}; do
  zpty -r -t shell chunk && offered+=$chunk
  sleep 0.1
done
zpty -d shell
# Without the terminal's escapes.
print -r -- ${offered//$'\e'\[[0-9;?]#[a-zA-Z]/}
