//! psl-peer bench CORPUS [PASSES]: nanoseconds per name of `psl::domain`
//! over the corpus, lowercased first (the crate lowercases nothing), as the
//! median of PASSES passes (default 9), with the smallest and largest.
//!
//! psl-peer lines: one line of standard input in, its registrable domain
//! (or "-") out, as `lookup-psl --fields privatesuffix` prints them.
use std::io::{BufRead, BufWriter, Read, Write};
use std::time::Instant;

fn bench(path: &str, passes: usize) {
    let mut text = String::new();
    std::fs::File::open(path).and_then(|mut f| f.read_to_string(&mut text)).expect("corpus");
    let names: Vec<Vec<u8>> = text.split_whitespace().map(|n| n.to_lowercase().into_bytes()).collect();
    let mut times = Vec::with_capacity(passes);
    let mut found = 0usize;
    for _ in 0..passes {
        let start = Instant::now();
        for name in &names {
            if let Some(domain) = psl::domain(std::hint::black_box(name)) {
                found += domain.as_bytes().len();
            }
        }
        times.push(start.elapsed().as_nanos() as f64 / names.len() as f64);
    }
    times.sort_by(|a, b| a.partial_cmp(b).unwrap());
    std::hint::black_box(found);
    println!(
        "psl {} names: {:.1} ns per name (median of {}, {:.1} to {:.1})",
        names.len(),
        times[passes / 2],
        passes,
        times[0],
        times[passes - 1]
    );
}

fn lines() {
    let stdin = std::io::stdin();
    let mut input = stdin.lock();
    let stdout = std::io::stdout();
    let mut out = BufWriter::with_capacity(1 << 16, stdout.lock());
    let mut line = Vec::new();
    while input.read_until(b'\n', &mut line).expect("read") != 0 {
        let name = line.strip_suffix(b"\n").unwrap_or(&line);
        match psl::domain(name) {
            Some(domain) => out.write_all(domain.as_bytes()).expect("write"),
            None => out.write_all(b"-").expect("write"),
        }
        out.write_all(b"\n").expect("write");
        line.clear();
    }
}

fn main() {
    let args: Vec<String> = std::env::args().collect();
    match args.get(1).map(String::as_str) {
        Some("bench") if args.len() >= 3 => bench(&args[2], args.get(3).map_or(9, |p| p.parse().expect("passes"))),
        Some("lines") => lines(),
        _ => {
            eprintln!("usage: psl-peer bench CORPUS [PASSES] | psl-peer lines");
            std::process::exit(2);
        }
    }
}
