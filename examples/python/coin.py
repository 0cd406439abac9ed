import quavix
coin = quavix.preset("coin", seed=1)
samples = coin.render()  # a numpy int16 array, mono, 44100 samples per second
with open("coin.wav", "wb") as f:
    f.write(coin.wav())
print(len(samples), "samples in coin.wav")
