#!/usr/bin/perl
# Writes an apt sources file (read on standard input; its name, the one argument, tells a deb822
# ".sources" file from a one-line ".list") without the indexes an update could not bring, for the
# update that goes on with the others (scripts/apt-tolerant.sh).
#
# Each line of $DROP names what one suite and component of an archive leaves out:
#   "<uri> <suite> <component> arch:<arch>"   its binary-<arch> index (the architecture goes)
#   "<uri> <suite> <component> source"        its Sources index (the deb-src type goes)
#   "<uri> <suite> <component> target:<name>" an index of another kind, by the name apt creates it
#                                             with (Translations, DEP-11, CNF, Contents-deb, ...)
# $ARCHS holds the architectures apt takes where an entry names none.
#
# An entry that leaves nothing out is copied as it is. Another is written once for each set of its
# suites and components that keep the same; all else of it (options, an inline Signed-By key block
# on its continuation lines) stays as it was.
use strict;
use warnings;

my %drop;    # "<uri> <suite> <component>" -> { what => 1 }
for (split /\n/, $ENV{DROP} // "") {
  my ($uri, $suite, $component, $what) = split;
  next unless defined $what;
  $drop{ key($uri, $suite, $component) }{$what} = 1;
}
my @default_archs = split " ", $ENV{ARCHS} // "";

sub key {
  my ($uri, $suite, $component) = @_;
  return join " ", $uri =~ s{/+$}{}r, $suite, $component;
}

# What an entry keeps of one suite and component of its URIs: its types, its architectures and the
# targets it leaves out (those it left out itself, and those that failed).
sub keep {
  my ($uris, $suite, $component, $types, $archs, $removed) = @_;
  my ($t, $kept_archs, %r) = ($types, $archs, map { $_ => 1 } @$removed);
  for my $uri (@$uris) {
    my $what = $drop{ key($uri, $suite, $component) } or next;
    $t = [ grep { !($_ eq "deb-src" && $what->{source}) } @$t ];
    # Architectures and the other kinds of index are those of the binary indexes.
    next unless grep { $_ eq "deb" } @$t;
    $kept_archs = [ grep { !$what->{"arch:$_"} } @$kept_archs ];
    $t = [ grep { $_ ne "deb" } @$t ] unless @$kept_archs;    # no architecture left: no binary indexes
    $r{$_} = 1 for map { /^target:(.+)/ ? $1 : () } keys %$what;
  }
  return ($t, $kept_archs, [ sort keys %r ]);
}

sub keep_key { return join "|", map { "@$_" } @_ }

# Whether an entry leaves out anything of its suites and components.
sub leaves_out {
  my ($uris, $suites, $components, $types, $archs, $removed) = @_;
  my $whole = keep_key($types, $archs, [ sort @$removed ]);
  for my $s (@$suites) {
    for my $c (@$components) {
      return 1 if keep_key(keep($uris, $s, $c, $types, $archs, $removed)) ne $whole;
    }
  }
  return 0;
}

# The suites and components of an entry, grouped by what they keep: a list of
# [types, architectures, removed targets, [[suites], [components]]...], in the entry's order.
sub groups {
  my ($uris, $suites, $components, $types, $archs, $removed) = @_;
  my (@keys, %by_key);
  for my $s (@$suites) {
    for my $c (@$components) {
      my ($t, $kept_archs, $r) = keep($uris, $s, $c, $types, $archs, $removed);
      next unless @$t;
      my $key = keep_key($t, $kept_archs, $r);
      push @keys, $key unless $by_key{$key};
      $by_key{$key} //= { keep => [ $t, $kept_archs, $r ], suites => [], components => {} };
      my $g = $by_key{$key};
      push @{ $g->{suites} }, $s unless $g->{components}{$s};
      push @{ $g->{components}{$s} }, $c;
    }
  }
  my @out;
  for my $key (@keys) {
    my $g = $by_key{$key};
    # Suites that keep the same components share an entry.
    my (@lists, %suites_of);
    for my $s (@{ $g->{suites} }) {
      my $list = join " ", @{ $g->{components}{$s} };
      push @lists, $list unless $suites_of{$list};
      push @{ $suites_of{$list} }, $s;
    }
    push @out, [ @{ $g->{keep} }, map { [ $suites_of{$_}, $g->{components}{ $suites_of{$_}[0] } ] } @lists ];
  }
  return @out;
}

sub deb822 {
  my ($text) = @_;
  my $between = "";    # the empty line between entries
  for my $stanza (split /\n\s*\n/, $text) {
    next unless $stanza =~ /\S/;
    my (@order, %value, %name);
    for my $line (split /\n/, $stanza) {
      next if $line =~ /^#/;
      if ($line =~ /^[ \t]/) {
        $value{ $order[-1] } .= "\n$line" if @order;    # a continuation line, as it was
        next;
      }
      my ($k, $v) = $line =~ /^([^:\s]+):[ \t]*(.*)$/ or next;
      push @order, lc $k;
      ($value{ lc $k }, $name{ lc $k }) = ($v, $k);
    }
    unless (@order) {    # comments only
      print $between, $stanza =~ s/\n*$//r, "\n";
      $between = "\n";
      next;
    }
    my @uris = split " ", $value{uris} // "";
    my @suites = split " ", $value{suites} // "";
    my @components = split " ", $value{components} // "";
    @components = ("") unless @components;    # a flat repository
    my $own_archs = defined $value{architectures};
    my @archs = $own_archs ? split(" ", $value{architectures}) : @default_archs;
    my @entry = (\@uris, \@suites, \@components, [ split " ", $value{types} // "" ], \@archs,
      [ split " ", $value{"targets-remove"} // "" ]);
    unless (leaves_out(@entry)) {
      print $between, $stanza =~ s/\n*$//r, "\n";
      $between = "\n";
      next;
    }
    for my $g (groups(@entry)) {
      my ($t, $kept_archs, $r, @entries) = @$g;
      for my $e (@entries) {
        my %f = (%value, types => "@$t", suites => "@{ $e->[0] }");
        $f{components} = "@{ $e->[1] }" if defined $value{components};
        $f{architectures} = "@$kept_archs" if $own_archs || "@$kept_archs" ne "@default_archs";
        $f{"targets-remove"} = "@$r" if @$r;
        my @fields = @order;
        push @fields, grep { defined $f{$_} && !defined $value{$_} } "architectures", "targets-remove";
        my %names = (%name, architectures => $name{architectures} // "Architectures",
          "targets-remove" => $name{"targets-remove"} // "Targets-Remove");
        # A value that starts on the next line (a key block) keeps its line break.
        print $between, map { "$names{$_}:" . ($f{$_} =~ /^\n/ ? "" : " ") . "$f{$_}\n" } @fields;
        $between = "\n";
      }
    }
  }
}

sub one_line {
  my ($text) = @_;
  for my $line (split /\n/, $text) {
    my ($type, $opts, $rest) = $line =~ /^\s*(deb|deb-src)\s+(?:\[([^\]]*)\]\s*)?(.*)$/ or do {
      print "$line\n";
      next;
    };
    my ($uri, $suite, @components) = split " ", $rest =~ s/\s*#.*$//r;
    @components = ("") unless @components;
    my (@order, %o);
    for (split " ", $opts // "") {
      my ($k, $v) = split /=/, $_, 2;
      push @order, $k unless exists $o{$k};
      $o{$k} = $v;
    }
    my @archs = defined $o{arch} ? split(/,/, $o{arch}) : @default_archs;
    my @entry = ([$uri], [$suite], \@components, [$type], \@archs,
      [ defined $o{"target-"} ? split(/,/, $o{"target-"}) : () ]);
    unless (leaves_out(@entry)) {
      print "$line\n";
      next;
    }
    for my $g (groups(@entry)) {
      my ($t, $kept_archs, $r, $e) = @$g;
      my %g = %o;
      $g{arch} = join ",", @$kept_archs if defined $o{arch} || "@$kept_archs" ne "@default_archs";
      $g{"target-"} = join ",", @$r if @$r;
      my $options = join " ", map { "$_=$g{$_}" } @order, grep { defined $g{$_} && !exists $o{$_} } "arch", "target-";
      print join(" ", $type, ($options ? "[$options]" : ()), $uri, $suite, grep { $_ ne "" } @{ $e->[1] }), "\n";
    }
  }
}

local $/;
my $text = <STDIN> // "";
if (($ARGV[0] // "") =~ /\.sources$/) {
  deb822($text);
} else {
  one_line($text);
}
