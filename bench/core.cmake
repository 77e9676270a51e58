vintrel_bench(step_bench)
