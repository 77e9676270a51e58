# vintrel-batch's continuous run in-process: instructions per second and memory growth.
vintrel_bench(batch_bench SOURCES batch_bench.cpp LIBS vintrel_batch)
